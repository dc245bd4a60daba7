#pragma once
// The tag editor's save path, shared by the editor dialog and zonda-tags:
// writes the edited fields of an MP3 (ID3v2) or Ogg Vorbis file and keeps
// everything else the file holds.
//
//   TTagEdit edit;
//   edit.Title = "New title";               // fields left empty are not touched
//   if (!SaveTagEdit(path, edit)) report("tag_cantsavetag");
//
// An MP3 without an ID3v2 tag gets one holding its ID3v1 fields (which stay
// at the end of the file as they were) with the edits applied.
//
// Any thread (each call has its own tag objects).
#include <optional>
#include <string>
#include <string_view>

namespace zonda {

struct TTagEdit {
  std::optional<std::string> Title, Artist, Album, Track, Year, Genre, Comment;
};

// True for the files the editor writes: extension .mp3 or .ogg (any case).
bool IsEditableTagFile(const std::string& fileName);

// The track of an edit: a positive decimal number up to 65535, else 0 (no
// track), so "12a" and "-3" mean none.
int TrackFromText(std::string_view text);

// Writes the edits; false when the file is gone, not editable, or cannot be written.
bool SaveTagEdit(const std::string& fileName, const TTagEdit& edit);

}  // namespace zonda
