#pragma once
// One Ogg page read from a file as raw bytes: the 27-byte header, the segment
// table and the body. Used to walk a file page by page with exact offsets;
// libogg assembles packets from these pages and builds and checksums new ones.
//
// Any thread.
#include <cstdint>
#include <cstdio>
#include <string>

#include <ogg/ogg.h>

namespace zonda {

struct TOggPage {
  std::string Header;  // 27 bytes and the segment table
  std::string Body;

  // Reads the page starting at the stream's position; false at the end of
  // the file or when the bytes there are not an Ogg page.
  bool Read(std::FILE* file);

  int64_t Bytes() const { return static_cast<int64_t>(Header.size() + Body.size()); }
  uint32_t Serial() const { return Get32(14); }
  uint32_t Sequence() const { return Get32(18); }
  int64_t Granule() const;
  bool Bos() const { return Flags() & 0x02; }
  bool Eos() const { return Flags() & 0x04; }
  int Segments() const { return static_cast<unsigned char>(Header[26]); }
  int Lacing(int i) const { return static_cast<unsigned char>(Header[27 + i]); }

  // A libogg view of this page (valid while the page lives).
  ogg_page View();
  // Sets the sequence number and recomputes the checksum.
  void Renumber(uint32_t sequence);

 private:
  uint8_t Flags() const { return static_cast<uint8_t>(Header[5]); }
  uint32_t Get32(int at) const;
};

}  // namespace zonda
