#pragma once
// TOggVorbis: the stream facts and the Vorbis comment header of an Ogg Vorbis
// file, read and written.
//
//   TOggVorbis ogg;
//   if (ogg.ReadFromFile(path) && ogg.Valid()) show(ogg.Title);
//   ogg.Title = "New title";        // fields differing from what was read are edits
//   ogg.SaveTag(path);
//
// Reading assembles the three header packets with libogg, however many pages
// they span (a comment packet with cover art can take hundreds), bounded by
// kMaxHeaderBytes. Several values of one name are given joined by " / ".
//
// Saving keeps the vendor string and every comment that was not edited, in its
// order (several values per name, METADATA_BLOCK_PICTURE, ENCODER, ...); an
// edited field replaces the comments of its name (the first keeps its place)
// or, when empty, removes them. The header packets are paged anew by libogg;
// the audio pages stay byte for byte, only their sequence numbers and
// checksums change when the header takes a different number of pages. The
// file is replaced through a "~" file (TagFile.h).
//
// Any thread (no shared state); one object per file at a time.
#include <cstdint>
#include <string>
#include <vector>

namespace zonda {

class TOggVorbis {
 public:
  static constexpr int64_t kMaxHeaderBytes = 64 << 20;

  int64_t FileSize = 0;
  uint8_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitRateNominal = 0;  // kbit/s
  int64_t Samples = 0;          // granule position of the stream's last page
  int64_t ID3v2Size = 0;        // bytes of an ID3v2 tag in front of the Ogg data
  std::string Title, Artist, Album;
  uint16_t Track = 0;
  std::string Date, Genre, Comment, Vendor;

  // True when the file is an Ogg Vorbis stream whose first two headers were found.
  bool ReadFromFile(const std::string& fileName);
  // Rewrites the comment header; false on any failure, the file then unchanged.
  bool SaveTag(const std::string& fileName);

  double Duration() const;  // seconds
  int BitRate() const;      // kbit/s
  bool Valid() const;

  // The comments of the last read as stored ("NAME=value", UTF-8), in order.
  const std::vector<std::string>& Comments() const { return comments_; }

  void Reset();

 private:
  struct TFields {
    std::string Title, Artist, Album, Date, Genre, Comment;
    uint16_t Track = 0;
  };
  struct TLayout;
  bool ReadLayout(const std::string& fileName, TLayout& layout);
  void AssignFields();
  std::vector<std::string> CommentsToWrite() const;

  std::vector<std::string> comments_;
  std::string vendorBytes_;  // the vendor string as stored
  TFields read_;             // the fields as read, to tell edits
  std::string readFrom_;
};

}  // namespace zonda
