#pragma once
// Where LADSPA plug-in libraries are looked for: the folders of LADSPA_PATH
// (colon-separated) when it is set and not empty, otherwise the standard
// folders /usr/lib/ladspa, /usr/local/lib/ladspa, the multiarch folder
// (/usr/lib/x86_64-linux-gnu/ladspa) and ~/.ladspa. Folders that do not
// exist are left out, and a folder reached twice (a symbolic link, a repeated
// entry) is listed once, by its canonical path.
//
// Main thread (or any thread: it only reads the environment and the file system).
#include <string>
#include <vector>

namespace zonda {

// The folders named by a LADSPA_PATH text, or the standard ones for an empty text.
std::vector<std::string> LadspaFolders(const std::string& ladspaPath, const std::string& home);

// The same for this process's environment (LADSPA_PATH, HOME).
std::vector<std::string> LadspaFoldersOfEnvironment();

// The LADSPA libraries (regular files or links to them named *.so) of one
// folder, by canonical path, sorted by name; a folder that cannot be read gives none.
std::vector<std::string> LadspaLibrariesIn(const std::string& folder);

}  // namespace zonda
