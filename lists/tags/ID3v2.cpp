#include "lists/tags/ID3v2.h"

#include <array>
#include <optional>

#include "lists/tags/ID3v1.h"
#include "lists/tags/TagFile.h"
#include "lists/tags/TagText.h"

namespace zonda {

namespace {

// Frame identifiers by slot: version 2.3/2.4, version 2.2. Slots 12..15 only
// feed a field whose own slot is empty.
struct TSlotIds {
  std::string_view v3, v2;
};
constexpr std::array<TSlotIds, 16> kSlotIds = {{{"TIT2", "TT2"},
                                                {"TPE1", "TP1"},
                                                {"TALB", "TAL"},
                                                {"TRCK", "TRK"},
                                                {"TYER", "TYE"},
                                                {"TCON", "TCO"},
                                                {"COMM", "COM"},
                                                {"TCOM", "TCM"},
                                                {"TENC", "TEN"},
                                                {"TCOP", "TCR"},
                                                {"TLAN", "TLA"},
                                                {"WXXX", "WXX"},
                                                {"TDRC", "TOR"},
                                                {"TOPE", "TOA"},
                                                {"TIT1", "TT1"},
                                                {"TOAL", "TOT"}}};
constexpr int kCommentSlot = 6, kLinkSlot = 11, kRecordingTimeSlot = 12;

int SlotOf(std::string_view id, int version) {
  for (std::size_t i = 0; i < kSlotIds.size(); ++i) {
    if ((version == 2 ? kSlotIds[i].v2 : kSlotIds[i].v3) == id) return static_cast<int>(i);
  }
  return -1;
}

std::string_view SlotId(int slot, int version) { return version == 2 ? kSlotIds[slot].v2 : kSlotIds[slot].v3; }

uint32_t Synchsafe(std::string_view b) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 7 | (static_cast<unsigned char>(b[i]) & 0x7F);
  return v;
}

uint32_t BigEndian(std::string_view b, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | static_cast<unsigned char>(b[i]);
  return v;
}

void PutSynchsafe(std::string& out, uint32_t v) {
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>(v >> shift & 0x7F);
}

void PutBigEndian(std::string& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// Removes unsynchronisation: every FF 00 becomes FF.
std::string Resynchronise(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    out += in[i];
    if (static_cast<unsigned char>(in[i]) == 0xFF && i + 1 < in.size() && in[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsFrameIdChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Width of a string terminator in an encoding.
std::size_t TerminatorWidth(uint8_t encoding) { return encoding == 1 || encoding == 2 ? 2 : 1; }

// Position of the first terminator (aligned for UTF-16), or npos.
std::size_t FindTerminator(std::string_view s, uint8_t encoding) {
  if (TerminatorWidth(encoding) == 1) return s.find('\0');
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
    if (s[i] == '\0' && s[i + 1] == '\0') return i;
  }
  return std::string_view::npos;
}

std::string DecodeString(std::string_view s, uint8_t encoding) {
  switch (encoding) {
    case 0: return Latin1ToUtf8(s);
    case 1: return Utf16ToUtf8(s, false);
    case 2: return Utf16ToUtf8(s, true);
    default: return ValidUtf8(s);
  }
}

// Every string of a text, separated by terminators, trimmed, joined by " / ".
std::string DecodeStrings(std::string_view s, uint8_t encoding) {
  std::string joined;
  while (!s.empty()) {
    const std::size_t end = FindTerminator(s, encoding);
    const std::string one = TrimTag(DecodeString(s.substr(0, end), encoding));
    if (!one.empty()) joined += (joined.empty() ? "" : " / ") + one;
    if (end == std::string_view::npos) break;
    s.remove_prefix(end + TerminatorWidth(encoding));
  }
  return joined;
}

// The frame's data without the bytes its flags put in front; nothing when the
// data is compressed or encrypted.
std::optional<std::string_view> FramePayload(const TID3v2Frame& f, int version) {
  std::string_view p = f.Content;
  std::size_t skip = 0;
  if (version == 3) {
    if (f.Flags[1] & 0xC0) return std::nullopt;
    if (f.Flags[1] & 0x20) skip = 1;  // group identifier
  } else if (version == 4) {
    if (f.Flags[1] & 0x0C) return std::nullopt;
    if (f.Flags[1] & 0x40) skip += 1;  // group identifier
    if (f.Flags[1] & 0x01) skip += 4;  // data length indicator
  }
  if (p.size() < skip) return std::nullopt;
  return p.substr(skip);
}

struct TDecoded {
  std::string text;
  bool describedComment = false;  // a comment frame with a description
};

std::optional<TDecoded> DecodeFrame(const TID3v2Frame& f, int version, int slot) {
  const auto payload = FramePayload(f, version);
  if (!payload || payload->empty()) return std::nullopt;
  const auto encoding = static_cast<uint8_t>((*payload)[0]);
  if (encoding > 3) return std::nullopt;  // UTF-16BE and UTF-8 are read in any version, as taggers write them
  std::string_view rest = payload->substr(1);
  TDecoded d;
  if (slot == kCommentSlot || slot == kLinkSlot) {
    if (slot == kCommentSlot) {
      if (rest.size() < 3) return std::nullopt;
      rest.remove_prefix(3);  // language
    }
    const std::size_t end = FindTerminator(rest, encoding);
    if (end == std::string_view::npos) return std::nullopt;
    d.describedComment = !TrimTag(DecodeString(rest.substr(0, end), encoding)).empty();
    rest.remove_prefix(end + TerminatorWidth(encoding));
    // A link is always Latin-1, whatever the description's encoding.
    d.text = slot == kLinkSlot ? TrimTag(Latin1ToUtf8(rest.substr(0, rest.find('\0'))))
                               : DecodeStrings(rest, encoding);
  } else {
    d.text = DecodeStrings(rest, encoding);
  }
  return d;
}

// Genre text without the "(17)" references in front; a bare reference or
// number gives the ID3v1 genre's name.
std::string GenreText(const std::string& raw) {
  std::string_view number = raw;
  if (number.size() >= 3 && number.front() == '(' && number.back() == ')') number = number.substr(1, number.size() - 2);
  if (!number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos) {
    const int id = ParseTrackNumber(number, 255);
    if (id > 0 || number == "0") return std::string(TID3v1::GenreName(id));
  }
  const std::size_t close = raw.rfind(')');
  return close == std::string::npos ? raw : TrimTag(std::string_view(raw).substr(close + 1));
}

// The first `chars` characters of a UTF-8 text.
std::string FirstChars(std::string_view text, int chars) {
  std::size_t i = 0;
  for (int n = 0; n < chars && i < text.size(); ++n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return std::string(text.substr(0, i));
}

// Encoding byte and bytes of a text for a frame of the given version.
std::pair<char, std::string> EncodeText(std::string_view utf8, int version) {
  if (FitsLatin1(utf8)) return {'\0', Utf8ToLatin1(utf8)};
  if (version == 4) return {'\3', std::string(utf8)};
  return {'\1', Utf8ToUtf16WithBom(utf8)};
}

TID3v2Frame TextFrame(int slot, int version, std::string_view value) {
  TID3v2Frame f;
  f.Id = std::string(SlotId(slot, version));
  const auto [encoding, bytes] = EncodeText(value, version);
  f.Content += encoding;
  if (slot == kCommentSlot) {
    f.Content += "eng";
    f.Content.append(TerminatorWidth(static_cast<uint8_t>(encoding)), '\0');  // empty description
  }
  f.Content += bytes;
  return f;
}

bool IsMainComment(const TID3v2Frame& f, int version) {
  const auto d = DecodeFrame(f, version, kCommentSlot);
  return d && !d->describedComment;
}

}  // namespace

void TID3v2::Reset() { *this = TID3v2{}; }

int64_t TID3v2::TotalSize(std::string_view header) {
  int64_t total = static_cast<int64_t>(Synchsafe(header.substr(6, 4))) + 10;
  if (static_cast<unsigned char>(header[5]) & 0x10) total += 10;
  return total;
}

bool TID3v2::ReadFromFile(const std::string& fileName) {
  Reset();
  TTagReadFile file(fileName);
  const auto size = TagFileSize(fileName);
  std::string start;
  if (!file || !size || !ReadTagBytes(file.get(), 0, 10, start) || start.size() < 10) return false;
  if (start.substr(0, 3) == "ID3") {
    const int64_t total = TotalSize(start);
    if (total <= *size && total <= kMaxTagBytes && !ReadTagBytes(file.get(), 0, static_cast<std::size_t>(total), start)) {
      return false;
    }
  }
  ReadFromBytes(start, *size);
  readFrom_ = fileName;
  return true;
}

void TID3v2::ReadFromBytes(std::string_view data, int64_t fileSize) {
  Reset();
  if (data.size() < 10 || data.substr(0, 3) != "ID3") return;
  Exists = true;
  VersionID = static_cast<unsigned char>(data[3]);
  const auto flags = static_cast<unsigned char>(data[5]);
  Size = TotalSize(data);
  if (Size > fileSize) Size = 0;
  if (VersionID < 2 || VersionID > 4 || Size == 0 || Size > kMaxTagBytes ||
      static_cast<int64_t>(data.size()) < Size || (VersionID == 2 && (flags & 0x40))) {
    framesComplete_ = false;  // unknown version, compressed 2.2 tag, or not read whole
    return;
  }
  const bool footer = VersionID == 4 && (flags & 0x10);
  std::string body(data.substr(10, static_cast<std::size_t>(Size - 10 - (footer ? 10 : 0))));
  const bool unsync = flags & 0x80;
  if (unsync && VersionID < 4) body = Resynchronise(body);
  std::size_t pos = 0;
  if (VersionID >= 3 && (flags & 0x40) && body.size() >= 4) {  // extended header
    const uint32_t extended = VersionID == 3 ? BigEndian(body, 4) + 4 : Synchsafe(body);
    pos = std::min<std::size_t>(extended, body.size());
  }
  const std::size_t headerBytes = VersionID == 2 ? 6 : 10;
  const std::size_t idBytes = VersionID == 2 ? 3 : 4;
  while (pos + headerBytes <= body.size()) {
    const std::string_view header = std::string_view(body).substr(pos, headerBytes);
    bool validId = true;
    for (std::size_t i = 0; i < idBytes; ++i) validId = validId && IsFrameIdChar(header[i]);
    if (!validId || header[0] < 'A' || header[0] > 'Z') break;  // padding or garbage
    uint32_t frameBytes = 0;
    if (VersionID == 2) {
      frameBytes = BigEndian(header.substr(3), 3);
    } else if (VersionID == 3) {
      frameBytes = BigEndian(header.substr(4), 4);
    } else {
      // Synchsafe; a size with a high bit set was written as a plain number.
      const std::string_view s = header.substr(4, 4);
      const bool plain = (static_cast<unsigned char>(s[0]) | static_cast<unsigned char>(s[1]) |
                          static_cast<unsigned char>(s[2]) | static_cast<unsigned char>(s[3])) & 0x80;
      frameBytes = plain ? BigEndian(s, 4) : Synchsafe(s);
    }
    if (frameBytes > body.size() - pos - headerBytes) break;  // a frame cut short ends the tag
    pos += headerBytes;
    TID3v2Frame frame;
    frame.Id = std::string(header.substr(0, idBytes));
    if (VersionID > 2) {
      frame.Flags[0] = static_cast<uint8_t>(header[8]);
      frame.Flags[1] = static_cast<uint8_t>(header[9]);
    }
    frame.Content = body.substr(pos, frameBytes);
    if (VersionID == 4 && (unsync || (frame.Flags[1] & 0x02))) {
      frame.Content = Resynchronise(frame.Content);
      frame.Flags[1] &= static_cast<uint8_t>(~0x02);
    }
    frames_.push_back(std::move(frame));
    pos += frameBytes;
  }
  // What follows the last frame that could be read, unless it is only padding,
  // is kept as it is for a save to write back at the tag's end.
  std::string_view rest = std::string_view(body).substr(std::min(pos, body.size()));
  const std::size_t used = rest.find_last_not_of('\0');
  unparsed_ = used == std::string_view::npos ? std::string() : std::string(rest.substr(0, used + 1));
  AssignFields();
}

void TID3v2::AssignFields() {
  std::array<std::string, 16> slots;
  bool mainComment = false;
  for (const TID3v2Frame& f : frames_) {
    const int slot = SlotOf(f.Id, VersionID);
    if (slot < 0) continue;
    const auto d = DecodeFrame(f, VersionID, slot);
    if (!d) continue;
    if (slot == kCommentSlot) {
      // The comment without a description is the comment; others only stand in.
      if (d->describedComment && mainComment) continue;
      mainComment = mainComment || !d->describedComment;
    }
    slots[slot] = d->text;  // a later frame replaces an earlier one
  }
  const auto either = [&](int main, int fallback) { return slots[main].empty() ? slots[fallback] : slots[main]; };
  Title = either(0, 14);
  Artist = either(1, 13);
  Album = either(2, 15);
  TrackString = slots[3];
  Track = static_cast<uint16_t>(ParseTrackNumber(TrackString));
  Year = slots[4].empty() ? FirstChars(slots[kRecordingTimeSlot], 4) : slots[4];
  Genre = GenreText(slots[5]);
  Comment = slots[6];
  Composer = slots[7];
  Encoder = slots[8];
  RightsNotice = slots[9];
  Language = slots[10];
  Link = slots[11];
}

void TID3v2::SetText(Slot slot, std::string& field, std::string_view text) {
  std::string value = TrimTag(text);
  if (value == field) return;
  field = std::move(value);
  edited_.set(slot);
}

void TID3v2::SetTitle(std::string_view text) { SetText(kTitle, Title, text); }
void TID3v2::SetArtist(std::string_view text) { SetText(kArtist, Artist, text); }
void TID3v2::SetAlbum(std::string_view text) { SetText(kAlbum, Album, text); }
void TID3v2::SetYear(std::string_view text) { SetText(kYear, Year, text); }
void TID3v2::SetGenre(std::string_view text) { SetText(kGenre, Genre, text); }
void TID3v2::SetComment(std::string_view text) { SetText(kComment, Comment, text); }

void TID3v2::SetTrack(int number) {
  const auto value = static_cast<uint16_t>(std::clamp(number, 0, 65535));
  if (value == Track) return;
  Track = value;
  TrackString = value ? std::to_string(value) : std::string();
  edited_.set(kTrack);
}

std::vector<TID3v2Frame> TID3v2::FramesToWrite(int version) const {
  const std::array<const std::string*, kSlotCount> values = {&Title, &Artist, &Album, &TrackString,
                                                             &Year,  &Genre,  &Comment};
  std::vector<TID3v2Frame> out = frames_;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!edited_[slot]) continue;
    // Drop the frames this field replaces, remembering where the first was.
    std::size_t at = std::string::npos;
    std::vector<TID3v2Frame> kept;
    for (const TID3v2Frame& f : out) {
      bool replaced = f.Id == SlotId(slot, version);
      if (slot == kYear && version > 2) replaced = replaced || f.Id == SlotId(kRecordingTimeSlot, version);
      if (slot == kComment && replaced) replaced = IsMainComment(f, version);
      if (replaced) {
        if (at == std::string::npos) at = kept.size();
        continue;
      }
      kept.push_back(f);
    }
    out = std::move(kept);
    const std::string& value = *values[slot];
    if (value.empty()) continue;
    const int idSlot = slot == kYear && version == 4 ? kRecordingTimeSlot : slot;
    TID3v2Frame f = TextFrame(idSlot, version, value);
    out.insert(at == std::string::npos ? out.end() : out.begin() + static_cast<std::ptrdiff_t>(at), std::move(f));
  }
  return out;
}

std::string TID3v2::FrameBytes(const TID3v2Frame& f, int version) const {
  std::string out = f.Id;
  const auto size = static_cast<uint32_t>(f.Content.size());
  if (version == 2) {
    PutBigEndian(out, size, 3);
  } else {
    if (version == 4) {
      PutSynchsafe(out, size);
    } else {
      PutBigEndian(out, size, 4);
    }
    out += static_cast<char>(f.Flags[0]);
    out += static_cast<char>(f.Flags[1]);
  }
  return out + f.Content;
}

bool TID3v2::SaveToFile(const std::string& fileName) {
  if (readFrom_ != fileName) {
    // The frames to keep are this file's: read them, then apply the fields as edits.
    const TID3v2 fields = *this;
    if (!ReadFromFile(fileName)) return false;
    SetTitle(fields.Title);
    SetArtist(fields.Artist);
    SetAlbum(fields.Album);
    SetYear(fields.Year);
    SetGenre(fields.Genre);
    SetComment(fields.Comment);
    SetTrack(fields.Track);
  }
  TTagReadFile file(fileName);
  const auto fileSize = TagFileSize(fileName);
  std::string header;
  if (!file || !fileSize || !ReadTagBytes(file.get(), 0, 10, header)) return false;
  int64_t oldTotal = 0;
  int version = 3;
  if (header.size() == 10 && header.substr(0, 3) == "ID3") {
    oldTotal = TotalSize(header);
    version = static_cast<unsigned char>(header[3]);
    // A tag that was not read whole, or of a version this code does not know,
    // would be lost by a rewrite.
    if (!framesComplete_ || version < 2 || version > 4 || oldTotal > *fileSize || version != VersionID) return false;
  }
  std::string frames;
  for (const TID3v2Frame& f : FramesToWrite(version)) {
    if (version == 2 && f.Content.size() > 0xFFFFFF) return false;
    frames += FrameBytes(f, version);
  }
  const int64_t needed = 10 + static_cast<int64_t>(frames.size() + unparsed_.size());
  const int64_t padding = oldTotal >= needed ? oldTotal - needed : std::max<int64_t>(0, 4096 - needed);
  if (needed + padding - 10 > 0x0FFFFFFF) return false;
  std::string tag = "ID3";
  tag += static_cast<char>(version);
  tag += '\0';
  tag += '\0';  // no unsynchronisation, no extended header, no footer
  PutSynchsafe(tag, static_cast<uint32_t>(needed + padding - 10));
  tag += frames;
  tag.append(static_cast<std::size_t>(padding), '\0');
  // At the very end, so readers stop where they stopped before: at the padding,
  // at the same unreadable frame, or at a frame the tag's end still cuts short.
  tag += unparsed_;
  const bool ok = ReplaceTagFile(fileName, [&](std::FILE* out) {
    return std::fwrite(tag.data(), 1, tag.size(), out) == tag.size() && CopyTagBytes(file.get(), oldTotal, -1, out);
  });
  if (!ok) return false;
  frames_ = FramesToWrite(version);
  VersionID = version;
  Exists = true;
  Size = needed + padding;
  edited_.reset();
  readFrom_ = fileName;
  return true;
}

}  // namespace zonda
