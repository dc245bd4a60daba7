#include "lists/tags/OggPage.h"

namespace zonda {

bool TOggPage::Read(std::FILE* file) {
  Header.assign(27, '\0');
  if (std::fread(Header.data(), 1, 27, file) != 27 || Header.compare(0, 4, "OggS") != 0 || Header[4] != 0) {
    return false;
  }
  const int segments = Segments();
  Header.resize(27 + static_cast<std::size_t>(segments));
  if (std::fread(Header.data() + 27, 1, static_cast<std::size_t>(segments), file) != static_cast<std::size_t>(segments)) {
    return false;
  }
  std::size_t bodyBytes = 0;
  for (int i = 0; i < segments; ++i) bodyBytes += static_cast<std::size_t>(Lacing(i));
  Body.resize(bodyBytes);
  return std::fread(Body.data(), 1, bodyBytes, file) == bodyBytes;
}

uint32_t TOggPage::Get32(int at) const {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(Header[static_cast<std::size_t>(at + i)]);
  return v;
}

int64_t TOggPage::Granule() const {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(Header[static_cast<std::size_t>(6 + i)]);
  return static_cast<int64_t>(v);
}

ogg_page TOggPage::View() {
  ogg_page page{};
  page.header = reinterpret_cast<unsigned char*>(Header.data());
  page.header_len = static_cast<long>(Header.size());
  page.body = reinterpret_cast<unsigned char*>(Body.data());
  page.body_len = static_cast<long>(Body.size());
  return page;
}

void TOggPage::Renumber(uint32_t sequence) {
  for (int i = 0; i < 4; ++i) Header[static_cast<std::size_t>(18 + i)] = static_cast<char>(sequence >> (8 * i) & 0xFF);
  ogg_page page = View();
  ogg_page_checksum_set(&page);
}

}  // namespace zonda
