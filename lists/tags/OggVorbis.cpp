#include "lists/tags/OggVorbis.h"

#include <array>
#include <cmath>

#include "lists/tags/ID3v2.h"
#include "lists/tags/OggPage.h"
#include "lists/tags/TagFile.h"
#include "lists/tags/TagText.h"

namespace zonda {

namespace {

uint32_t Le32(std::string_view b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

void PutLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

std::string UpperName(std::string_view entry) {
  std::string name(entry.substr(0, entry.find('=')));
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

struct TCommentPacket {
  std::string vendor;
  std::vector<std::string> entries;
  std::string tail;  // bytes after the last entry: the framing bit
};

// False when the packet is not a comment header or its lengths run past it.
bool ParseCommentPacket(std::string_view p, TCommentPacket& out) {
  out = {};
  if (p.size() < 11 || p.substr(0, 7) != "\x03vorbis") return false;
  std::size_t pos = 7;
  const uint32_t vendorBytes = Le32(p, pos);
  pos += 4;
  if (vendorBytes > p.size() - pos) return false;
  out.vendor = std::string(p.substr(pos, vendorBytes));
  pos += vendorBytes;
  if (p.size() - pos < 4) return false;
  const uint32_t count = Le32(p, pos);
  pos += 4;
  if (count > (p.size() - pos) / 4) return false;
  out.entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (p.size() - pos < 4) return false;
    const uint32_t bytes = Le32(p, pos);
    pos += 4;
    if (bytes > p.size() - pos) return false;
    out.entries.emplace_back(p.substr(pos, bytes));
    pos += bytes;
  }
  out.tail = std::string(p.substr(pos));
  return true;
}

std::string CommentPacketBytes(const TCommentPacket& c) {
  std::string p = "\x03vorbis";
  PutLe32(p, static_cast<uint32_t>(c.vendor.size()));
  p += c.vendor;
  PutLe32(p, static_cast<uint32_t>(c.entries.size()));
  for (const std::string& e : c.entries) {
    PutLe32(p, static_cast<uint32_t>(e.size()));
    p += e;
  }
  return p + (c.tail.empty() ? std::string("\x01") : c.tail);
}

// Puts "NAME=value" in place of the first comment of that name and removes
// the others; an empty value removes them all.
void ReplaceComments(std::vector<std::string>& entries, std::string_view name, const std::string& value) {
  std::vector<std::string> out;
  bool placed = value.empty();
  for (std::string& e : entries) {
    if (UpperName(e) != name || e.find('=') == std::string::npos) {
      out.push_back(std::move(e));
    } else if (!placed) {
      out.push_back(e.substr(0, e.find('=') + 1) + value);  // the stored spelling of the name stays
      placed = true;
    }
  }
  if (!placed) out.push_back(std::string(name) + "=" + value);
  entries = std::move(out);
}

}  // namespace

struct TOggVorbis::TLayout {
  int64_t id3Bytes = 0;
  int64_t fileSize = 0;
  uint32_t serial = 0;
  uint32_t firstSequence = 0;
  int headerPages = 0;
  int64_t headerEnd = 0;      // offset of the first page after the setup header's page
  bool ownPages = true;       // no other stream's page among the header pages
  bool setupEndsPage = false; // the setup header is the last packet of its page
  std::array<std::string, 3> packets;  // identification, comment, setup
  int packetCount = 0;
};

void TOggVorbis::Reset() { *this = TOggVorbis{}; }

bool TOggVorbis::ReadLayout(const std::string& fileName, TLayout& l) {
  l = TLayout{};
  TTagReadFile file(fileName);
  const auto size = TagFileSize(fileName);
  if (!file || !size) return false;
  l.fileSize = *size;
  std::string start;
  if (!ReadTagBytes(file.get(), 0, 10, start)) return false;
  if (start.size() == 10 && start.substr(0, 3) == "ID3") {
    l.id3Bytes = TID3v2::TotalSize(start);
    if (l.id3Bytes > *size) l.id3Bytes = 0;
  }
  if (::fseeko(file.get(), static_cast<off_t>(l.id3Bytes), SEEK_SET) != 0) return false;
  ogg_stream_state stream;
  bool streamStarted = false;
  int64_t bytesRead = 0;
  int packetsEnded = 0;
  bool ok = true;
  TOggPage page;
  while (ok && l.packetCount < 3 && page.Read(file.get())) {
    bytesRead += page.Bytes();
    if (bytesRead > kMaxHeaderBytes) break;
    if (!streamStarted) {
      if (!page.Bos()) break;
      l.serial = page.Serial();
      l.firstSequence = page.Sequence();
      ogg_stream_init(&stream, static_cast<int>(l.serial));
      streamStarted = true;
    }
    if (page.Serial() != l.serial) {
      l.ownPages = false;
      continue;
    }
    ++l.headerPages;
    ogg_page view = page.View();
    if (ogg_stream_pagein(&stream, &view) != 0) break;
    ogg_packet packet;
    int got;
    while (l.packetCount < 3 && (got = ogg_stream_packetout(&stream, &packet)) != 0) {
      if (got < 0) {
        ok = false;  // a hole in the header pages
        break;
      }
      l.packets[static_cast<std::size_t>(l.packetCount++)].assign(reinterpret_cast<const char*>(packet.packet),
                                                                 static_cast<std::size_t>(packet.bytes));
    }
    for (int i = 0; i < page.Segments() && packetsEnded < 3; ++i) {
      if (page.Lacing(i) < 255 && ++packetsEnded == 3) l.setupEndsPage = i == page.Segments() - 1;
    }
    l.headerEnd = ::ftello(file.get());
  }
  if (streamStarted) ogg_stream_clear(&stream);
  const std::string& id = l.packets[0];
  return ok && l.packetCount >= 2 && id.size() >= 30 && id.compare(0, 7, "\x01vorbis") == 0 &&
         l.packets[1].compare(0, 7, "\x03vorbis") == 0;
}

bool TOggVorbis::ReadFromFile(const std::string& fileName) {
  Reset();
  TLayout l;
  TCommentPacket comments;
  if (!ReadLayout(fileName, l)) return false;
  FileSize = l.fileSize;
  ID3v2Size = l.id3Bytes;
  const std::string& id = l.packets[0];
  Channels = static_cast<uint8_t>(id[11]);
  SampleRate = Le32(id, 12);
  const auto nominal = static_cast<int32_t>(Le32(id, 20));
  BitRateNominal = static_cast<uint16_t>(std::clamp<int64_t>(std::lround(nominal / 1000.0), 0, 65535));
  if (ParseCommentPacket(l.packets[1], comments)) {
    vendorBytes_ = comments.vendor;
    comments_ = std::move(comments.entries);
  }
  Vendor = TrimTag(ValidUtf8(vendorBytes_));
  // The last page of the stream holds the number of samples as its granule position.
  TTagReadFile file(fileName);
  const int64_t tailBytes = std::min<int64_t>(FileSize - l.headerEnd, 64 * 1024 + 27);
  std::string tail;
  if (file && tailBytes > 27 && ReadTagBytes(file.get(), FileSize - tailBytes, static_cast<std::size_t>(tailBytes), tail)) {
    for (std::size_t at = tail.rfind("OggS"); at != std::string::npos && at > 0; at = tail.rfind("OggS", at - 1)) {
      if (at + 27 > tail.size() || tail[at + 4] != 0 || Le32(tail, at + 14) != l.serial) continue;
      const int64_t granule = static_cast<int64_t>(Le32(tail, at + 6)) | static_cast<int64_t>(Le32(tail, at + 10)) << 32;
      if (granule >= 0) {
        Samples = granule;
        break;
      }
    }
  }
  AssignFields();
  read_ = {Title, Artist, Album, Date, Genre, Comment, Track};
  readFrom_ = fileName;
  return true;
}

void TOggVorbis::AssignFields() {
  static constexpr std::array<std::string_view, 9> kNames = {"TITLE", "ARTIST",  "ALBUM",     "TRACKNUMBER", "DATE",
                                                             "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};
  std::array<std::string, 9> slots;
  for (const std::string& entry : comments_) {
    const std::size_t eq = entry.find('=');
    if (eq == std::string::npos) {
      if (Vendor.empty()) Vendor = TrimTag(ValidUtf8(entry));
      continue;
    }
    const std::string name = UpperName(entry);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (name != kNames[i]) continue;
      const std::string value = TrimTag(ValidUtf8(std::string_view(entry).substr(eq + 1)));
      if (!value.empty()) slots[i] += (slots[i].empty() ? "" : " / ") + value;
    }
  }
  Title = slots[0];
  Artist = slots[1].empty() ? slots[7] : slots[1];
  Album = slots[2];
  Track = static_cast<uint16_t>(ParseTrackNumber(slots[3]));
  Date = slots[4];
  Genre = slots[5];
  Comment = slots[6].empty() ? slots[8] : slots[6];
}

std::vector<std::string> TOggVorbis::CommentsToWrite() const {
  std::vector<std::string> entries = comments_;
  const auto edit = [&](std::string_view name, const std::string& value, const std::string& readValue) {
    if (value != readValue) ReplaceComments(entries, name, TrimTag(ValidUtf8(value)));
  };
  edit("TITLE", Title, read_.Title);
  edit("ARTIST", Artist, read_.Artist);
  edit("ALBUM", Album, read_.Album);
  if (Track != read_.Track) ReplaceComments(entries, "TRACKNUMBER", Track ? std::to_string(Track) : std::string());
  edit("DATE", Date, read_.Date);
  edit("GENRE", Genre, read_.Genre);
  edit("COMMENT", Comment, read_.Comment);
  return entries;
}

bool TOggVorbis::SaveTag(const std::string& fileName) {
  if (readFrom_ != fileName) {
    // The comments to keep are this file's: read them, then apply the fields as edits.
    const TFields fields{Title, Artist, Album, Date, Genre, Comment, Track};
    if (!ReadFromFile(fileName)) return false;
    Title = fields.Title, Artist = fields.Artist, Album = fields.Album, Date = fields.Date;
    Genre = fields.Genre, Comment = fields.Comment, Track = fields.Track;
  }
  TLayout l;
  TCommentPacket packet;
  // A layout this rewrite cannot reproduce exactly is left alone.
  if (!ReadLayout(fileName, l) || l.packetCount < 3 || !l.ownPages || !l.setupEndsPage ||
      !ParseCommentPacket(l.packets[1], packet)) {
    return false;
  }
  packet.entries = CommentsToWrite();
  packet.vendor = vendorBytes_;
  std::string newComment = CommentPacketBytes(packet);

  ogg_stream_state stream;
  ogg_stream_init(&stream, static_cast<int>(l.serial));
  stream.pageno = static_cast<long>(l.firstSequence);
  std::string headerBytes;
  int newPages = 0;
  const auto flush = [&] {
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
      headerBytes.append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
      headerBytes.append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
      ++newPages;
    }
  };
  const auto put = [&](std::string& bytes, int number) {
    ogg_packet p{};
    p.packet = reinterpret_cast<unsigned char*>(bytes.data());
    p.bytes = static_cast<long>(bytes.size());
    p.b_o_s = number == 0;
    p.packetno = number;
    return ogg_stream_packetin(&stream, &p) == 0;
  };
  bool ok = put(l.packets[0], 0);
  flush();  // the identification header alone on the first page
  ok = ok && put(newComment, 1) && put(l.packets[2], 2);
  flush();
  ogg_stream_clear(&stream);
  if (!ok) return false;

  TTagReadFile file(fileName);
  if (!file) return false;
  const int64_t shift = newPages - l.headerPages;
  const bool saved = ReplaceTagFile(fileName, [&](std::FILE* out) {
    if (!CopyTagBytes(file.get(), 0, l.id3Bytes, out)) return false;
    if (std::fwrite(headerBytes.data(), 1, headerBytes.size(), out) != headerBytes.size()) return false;
    if (shift == 0) return CopyTagBytes(file.get(), l.headerEnd, -1, out);
    // The stream's later pages move by `shift` in sequence; other streams'
    // pages and anything that is not a page are copied as they are.
    if (::fseeko(file.get(), static_cast<off_t>(l.headerEnd), SEEK_SET) != 0) return false;
    bool ended = false;
    TOggPage page;
    for (int64_t at = l.headerEnd;; at = ::ftello(file.get())) {
      if (!page.Read(file.get())) return !std::ferror(file.get()) && CopyTagBytes(file.get(), at, -1, out);
      if (page.Serial() == l.serial && !ended) {
        page.Renumber(static_cast<uint32_t>(page.Sequence() + shift));
        ended = page.Eos();
      }
      if (std::fwrite(page.Header.data(), 1, page.Header.size(), out) != page.Header.size() ||
          std::fwrite(page.Body.data(), 1, page.Body.size(), out) != page.Body.size()) {
        return false;
      }
    }
  });
  return saved && ReadFromFile(fileName);
}

double TOggVorbis::Duration() const {
  if (Samples > 0 && SampleRate > 0) return static_cast<double>(Samples) / SampleRate;
  if (BitRateNominal != 0 && Channels != 0) {
    return static_cast<double>(FileSize - ID3v2Size) / BitRateNominal / Channels / 125.0 * 2.0;
  }
  return 0;
}

int TOggVorbis::BitRate() const {
  const double d = Duration();
  return d > 0 ? static_cast<int>(std::lround(static_cast<double>(FileSize - ID3v2Size) / d / 125.0)) : 0;
}

bool TOggVorbis::Valid() const {
  return (Channels == 1 || Channels == 2) && SampleRate > 0 && Duration() > 0.1 && BitRate() != 0;
}

}  // namespace zonda
