#pragma once
// TID3v2: the ID3v2 tag at the start of an MP3 file (versions 2.2, 2.3, 2.4),
// read and written.
//
//   TID3v2 tag;
//   tag.ReadFromFile(path);          // fields, and every frame of the tag
//   tag.SetTitle("New title");       // marks the title frame as edited
//   tag.SaveToFile(path);            // rewrites only the edited frames
//
// Reading honours the tag's unsynchronisation, skips an extended header,
// reads version 2.4 frame sizes as synchsafe numbers and decodes all four
// text encodings to UTF-8. Frames of several strings give them joined by " / ".
//
// Saving keeps every frame that was not edited exactly as read (pictures,
// TXXX, lyrics, other comments, ...) in its place, replaces or removes the
// edited ones, writes back whatever followed the last readable frame at the
// tag's end (after the padding), and keeps the tag's version; a file without a tag gets a
// version 2.3 tag. Text that is not plain Latin-1 is written as UTF-16 with a
// byte-order mark (UTF-8 in a 2.4 tag). The file is replaced through a "~"
// file (TagFile.h); an ID3v1 tag at the end stays as it was.
//
// Any thread (no shared state); one object per file at a time.
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zonda {

// One frame as stored, with any unsynchronisation removed. Version 2.2 frames
// have no flags.
struct TID3v2Frame {
  std::string Id;
  uint8_t Flags[2] = {0, 0};
  std::string Content;
};

class TID3v2 {
 public:
  // Tags beyond this are left unread and never rewritten.
  static constexpr int64_t kMaxTagBytes = 64 << 20;

  bool Exists = false;
  int VersionID = 0;  // major version byte of the tag
  int64_t Size = 0;   // total tag size in bytes (header, frames, padding, footer)
  std::string Title, Artist, Album;
  uint16_t Track = 0;
  std::string TrackString, Year, Genre, Comment, Composer, Encoder, RightsNotice, Language, Link;

  // True when the first 10 bytes could be read.
  bool ReadFromFile(const std::string& fileName);
  // Parses a tag from the first bytes of a file (at least the whole tag for
  // its frames to be read); `fileSize` bounds the tag size as the file would.
  void ReadFromBytes(std::string_view start, int64_t fileSize);

  // Each stores the text trimmed of blanks and control characters at both
  // ends; a text different from the current one marks that field edited.
  void SetTitle(std::string_view text);
  void SetArtist(std::string_view text);
  void SetAlbum(std::string_view text);
  void SetYear(std::string_view text);
  void SetGenre(std::string_view text);
  void SetComment(std::string_view text);
  void SetTrack(int number);  // 0 = no track

  // Writes the tag (above); false on any failure, the file then unchanged.
  bool SaveToFile(const std::string& fileName);

  // The frames of the last read, in tag order.
  const std::vector<TID3v2Frame>& Frames() const { return frames_; }

  void Reset();

  // Total size of the tag whose 10-byte header is given: the 28-bit size + 10,
  // + 10 more with a footer.
  static int64_t TotalSize(std::string_view header);

 private:
  enum Slot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kSlotCount };
  void SetText(Slot slot, std::string& field, std::string_view text);
  void AssignFields();
  std::vector<TID3v2Frame> FramesToWrite(int version) const;
  std::string FrameBytes(const TID3v2Frame& frame, int version) const;

  std::vector<TID3v2Frame> frames_;
  std::bitset<kSlotCount> edited_;
  bool framesComplete_ = true;  // false: the tag could not be read whole, so it is never rewritten
  std::string unparsed_;        // bytes after the last readable frame that are not padding
  std::string readFrom_;        // the file of the last read, whose frames are kept
};

}  // namespace zonda
