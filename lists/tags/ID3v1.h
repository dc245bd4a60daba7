#pragma once
// TID3v1: the 128-byte ID3v1 / ID3v1.1 tag at the end of an MP3 file (read only).
//
//   TID3v1 tag;
//   if (tag.ReadFromFile(path) && tag.Exists) show(tag.Title, tag.GenreName());
//
// Texts are Windows-1252 in the file and UTF-8 here, with trailing blanks and
// zero bytes removed. Main thread or any thread (no shared state).
#include <cstdint>
#include <string>
#include <string_view>

namespace zonda {

class TID3v1 {
 public:
  bool Exists = false;
  int VersionID = 1;  // 1 = ID3v1.0, 2 = ID3v1.1 (with a track number)
  std::string Title, Artist, Album, Year, Comment;
  uint8_t Track = 0;
  uint8_t GenreID = 255;  // 255 = none

  // True when the last 128 bytes could be read, whether or not they hold a tag.
  bool ReadFromFile(const std::string& fileName);
  // Parses the last 128 bytes of a file.
  void ReadFromBytes(std::string_view last128);

  // The genre list's name for GenreID below 148, else empty.
  std::string GenreName() const;
  static std::string_view GenreName(int genreId);

  void Reset();
};

}  // namespace zonda
