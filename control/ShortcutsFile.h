#pragma once
// The shortcuts file: every action's keyboard and MIDI assignments as XML
// (CR LF line ends, one element a line, buttons then sliders in table
// order), written in place of the old file through a temporary file and
// read back by name, so files stay interchangeable between versions.
//
//   SaveShortcuts(actions, ProgramPath("/shortcuts/lastest_shortcuts.xml"));
//   LoadShortcuts(actions, path);   // actions not in the file keep theirs
//
// Main thread only.
#include <string>

namespace zonda {

class TActionTables;

// False when the file could not be written (the old one stays).
bool SaveShortcuts(const TActionTables& actions, const std::string& fileName);
// False when the file could not be read; names of no action are skipped.
bool LoadShortcuts(TActionTables& actions, const std::string& fileName);
// The file of what was learned on a MIDI port, in folder:
// "port-<name>.xml" with every character but letters, digits, '-' and '_'
// made '_'.
std::string PortShortcutsFile(const std::string& folder, const std::string& port);

}  // namespace zonda
