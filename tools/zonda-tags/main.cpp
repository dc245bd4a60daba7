// zonda-tags FILE...
// zonda-tags --set NAME=VALUE [--set NAME=VALUE ...] FILE
//
// Without --set: prints, for each file, the thirteen fields the song lists
// read (ReadTagFields), one "name=value" line each in the order artist,
// title, vendor, link, language, rightsnotice, encoder, composer, track, year,
// album, comment, genre, with a blank line between files.
//
// With --set: writes the named fields (title, artist, album, track, year,
// genre, comment) into one MP3 or Ogg Vorbis file through the tag editor's
// save path, keeping everything else in the file. An empty VALUE removes the
// field. Exit 0 on success; 1 when a file cannot be read or written; 2 for
// wrong usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: zonda-tags FILE...\n"
               "       zonda-tags --set NAME=VALUE [--set NAME=VALUE ...] FILE\n"
               "NAME: title, artist, album, track, year, genre, comment\n");
  return 2;
}

void Print(const zonda::TTagFields& f) {
  const std::pair<const char*, const std::string*> lines[] = {
      {"artist", &f.Artist},     {"title", &f.Title},       {"vendor", &f.Vendor},     {"link", &f.Link},
      {"language", &f.Language}, {"rightsnotice", &f.RightsNotice}, {"encoder", &f.Encoder},
      {"composer", &f.Composer}, {"track", &f.Track},       {"year", &f.Year},         {"album", &f.Album},
      {"comment", &f.Comment},   {"genre", &f.Genre}};
  for (const auto& [name, value] : lines) std::printf("%s=%s\n", name, value->c_str());
}

// Puts one NAME=VALUE into the edit; false for an unknown name.
bool AddEdit(zonda::TTagEdit& edit, const std::string& assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string::npos) return false;
  const std::string name = assignment.substr(0, eq);
  const std::string value = assignment.substr(eq + 1);
  std::optional<std::string>* field = name == "title"     ? &edit.Title
                                      : name == "artist"  ? &edit.Artist
                                      : name == "album"   ? &edit.Album
                                      : name == "track"   ? &edit.Track
                                      : name == "year"    ? &edit.Year
                                      : name == "genre"   ? &edit.Genre
                                      : name == "comment" ? &edit.Comment
                                                          : nullptr;
  if (!field) return false;
  *field = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  zonda::TTagEdit edit;
  bool setting = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--set") == 0) {
      if (i + 1 >= argc || !AddEdit(edit, argv[++i])) return Usage();
      setting = true;
    } else if (std::strncmp(argv[i], "--set=", 6) == 0) {
      if (!AddEdit(edit, argv[i] + 6)) return Usage();
      setting = true;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty() || (setting && files.size() != 1)) return Usage();

  if (setting) {
    if (!zonda::IsEditableTagFile(files[0])) {
      std::fprintf(stderr, "zonda-tags: %s: only MP3 and Ogg Vorbis tags can be written\n", files[0].c_str());
      return 1;
    }
    if (!zonda::SaveTagEdit(files[0], edit)) {
      std::fprintf(stderr, "zonda-tags: cannot save the tag of %s\n", files[0].c_str());
      return 1;
    }
    return 0;
  }
  int status = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0) std::printf("\n");
    std::FILE* probe = std::fopen(files[i].c_str(), "rb");
    if (!probe) {
      std::fprintf(stderr, "zonda-tags: cannot open %s\n", files[i].c_str());
      status = 1;
    } else {
      std::fclose(probe);
    }
    Print(zonda::ReadTagFields(files[i]));
  }
  return status;
}
