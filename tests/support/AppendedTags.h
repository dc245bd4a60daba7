#pragma once
// The tags taggers append to MP3 and AAC files, written byte for byte:
// APEv2/APEv1, Lyrics3v2 and ID3v1.
#include <cstdint>
#include <cstdio>
#include <string>

namespace zonda::test {

inline std::string Le32(uint32_t v) {
  return std::string{char(v & 255), char((v >> 8) & 255), char((v >> 16) & 255), char(v >> 24)};
}

// One binary APE item (flags 2), as cover art is stored.
inline std::string ApeBinaryItem(const std::string& key, const std::string& value) {
  return Le32(uint32_t(value.size())) + Le32(2) + key + '\0' + value;
}

// An APE tag around `items`: version 2000 with a header, or 1000 without.
inline std::string ApeTag(const std::string& items, bool v2) {
  const uint32_t size = uint32_t(items.size()) + 32;
  auto part = [&](uint32_t flags) {
    return "APETAGEX" + Le32(v2 ? 2000 : 1000) + Le32(size) + Le32(1) + Le32(flags) + std::string(8, '\0');
  };
  return (v2 ? part(0xA0000000u) : std::string()) + items + part(v2 ? 0x80000000u : 0u);
}

// A Lyrics3v2 block holding `lyrics` in its LYR field.
inline std::string Lyrics3v2(const std::string& lyrics) {
  char len[6];
  std::snprintf(len, sizeof len, "%05zu", lyrics.size());
  const std::string block = "LYRICSBEGIN" + std::string("LYR") + len + lyrics;
  char size[7];
  std::snprintf(size, sizeof size, "%06zu", block.size());
  return block + size + "LYRICS200";
}

inline std::string Id3v1Tag() { return "TAG" + std::string(125, '\0'); }

}  // namespace zonda::test
