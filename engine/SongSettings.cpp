#include "engine/SongSettings.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/ProgramDir.h"

namespace zonda {
namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// A corrupt record may hold NaN or huge values; those read as no tempo.
double SaneBPM(double bpm) { return std::isfinite(bpm) && std::fabs(bpm) < 1.0e6 ? bpm : 0.0; }

int32_t NearestInt(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// Name stored in a record: the length byte (at most 43) and its bytes.
std::string StoredName(const uint8_t* record) {
  const size_t n = record[0] <= kSongNameMaxBytes ? record[0] : kSongNameMaxBytes;
  return std::string(reinterpret_cast<const char*>(record + 1), n);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Index of the first record named songName among the file's whole records, or
// the record count when there is none.
long FindRecordIndex(std::FILE* f, const std::string& songName, std::optional<TSongRecord>* found) {
  uint8_t record[kSongRecordBytes];
  long index = 0;
  std::rewind(f);
  while (std::fread(record, 1, kSongRecordBytes, f) == kSongRecordBytes) {
    if (StoredName(record) == songName) {
      if (found) *found = DecodeSongRecord(record);
      return index;
    }
    ++index;
  }
  return index;
}

}  // namespace

std::string SongNameOf(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  // Cut to 43 characters, then to whole characters within 43 bytes.
  size_t chars = 0;
  size_t end = 0;
  while (end < name.size()) {
    size_t next = end + 1;
    while (next < name.size() && IsContinuationByte(static_cast<unsigned char>(name[next]))) ++next;
    if (chars == kSongNameMaxBytes || next > kSongNameMaxBytes) break;
    ++chars;
    end = next;
  }
  name.resize(end);
  return name;
}

size_t SongNameCharacters(const std::string& name) {
  size_t n = 0;
  for (unsigned char c : name) {
    if (!IsContinuationByte(c)) ++n;
  }
  return n;
}

void EncodeSongRecord(const TSongRecord& r, uint8_t out[kSongRecordBytes]) {
  std::memset(out, 0, kSongRecordBytes);
  const size_t n = r.Name.size() < kSongNameMaxBytes ? r.Name.size() : kSongNameMaxBytes;
  out[0] = static_cast<uint8_t>(n);
  std::memcpy(out + 1, r.Name.data(), n);
  out[44] = 0;
  out[45] = r.SlowFlags;
  out[46] = r.GainByte;
  std::memcpy(out + 47, &r.BPM, 8);  // little-endian host
  out[55] = r.SelectedSlot;
  for (int i = 0; i < 8; ++i) Put32(out + 56 + 4 * i, static_cast<uint32_t>(r.Slots[i]));
  Put32(out + 88, static_cast<uint32_t>(r.EqLow));
  Put32(out + 92, static_cast<uint32_t>(r.EqMid));
  Put32(out + 96, static_cast<uint32_t>(r.EqHigh));
}

TSongRecord DecodeSongRecord(const uint8_t in[kSongRecordBytes]) {
  TSongRecord r;
  r.Name = StoredName(in);
  r.SlowFlags = in[45];
  r.GainByte = in[46];
  std::memcpy(&r.BPM, in + 47, 8);
  r.SelectedSlot = in[55];
  for (int i = 0; i < 8; ++i) r.Slots[i] = static_cast<int32_t>(Get32(in + 56 + 4 * i));
  r.EqLow = static_cast<int32_t>(Get32(in + 88));
  r.EqMid = static_cast<int32_t>(Get32(in + 92));
  r.EqHigh = static_cast<int32_t>(Get32(in + 96));
  return r;
}

TSongSettingsValues InterpretSongRecord(const TSongRecord& r) {
  TSongSettingsValues v;
  const double bpm = SaneBPM(r.BPM);
  v.BPMLocked = NearestInt(bpm) < 0;
  const double absBPM = std::fabs(bpm);
  v.SlowBPM = absBPM > 30.0 && absBPM < 120.0;
  if ((r.SlowFlags & 3) == 1) v.SlowBPM = true;   // exactly bit 1: slow range on
  if ((r.SlowFlags & 3) == 2) v.SlowBPM = false;  // exactly bit 2: slow range off
  v.StoredBPM = NearestInt(absBPM);
  v.Gain = (r.GainByte < 168 ? 200 : r.GainByte) - 200;
  v.Slots = r.Slots;
  v.SelectedSlot = r.SelectedSlot >= 1 && r.SelectedSlot <= 8 ? r.SelectedSlot : 1;
  v.EqLow = r.EqLow;
  v.EqMid = r.EqMid;
  v.EqHigh = r.EqHigh;
  return v;
}

std::optional<TSongRecord> FindSongRecord(const uint8_t* data, size_t size, const std::string& songName) {
  for (size_t at = 0; at + kSongRecordBytes <= size; at += kSongRecordBytes) {
    if (StoredName(data + at) == songName) return DecodeSongRecord(data + at);
  }
  return std::nullopt;
}

std::string SongBPMText(double bpm) {
  const int32_t b = NearestInt(std::fabs(SaneBPM(bpm)));
  if (b < 74 || b > 155) return {};
  char text[8];
  std::snprintf(text, sizeof text, "%03d", static_cast<int>(b));
  return text;
}

std::mutex& SongSettingsLock() {
  static std::mutex lock;
  return lock;
}

std::string SongSettingsPath() { return ProgramPath("\\songinfo.ssa"); }

std::optional<TSongRecord> ReadSongRecord(const std::string& songName) {
  std::lock_guard guard(SongSettingsLock());
  File f(std::fopen(SongSettingsPath().c_str(), "rb"));
  if (!f) return std::nullopt;
  std::optional<TSongRecord> found;
  FindRecordIndex(f.get(), songName, &found);
  return found;
}

bool WriteSongRecord(const TSongRecord& record) {
  if (SongNameCharacters(record.Name) < 2) return false;
  std::lock_guard guard(SongSettingsLock());
  const std::string path = SongSettingsPath();
  File f(std::fopen(path.c_str(), "r+b"));
  if (!f) f.reset(std::fopen(path.c_str(), "w+b"));
  if (!f) return false;
  const long index = FindRecordIndex(f.get(), record.Name, nullptr);
  uint8_t bytes[kSongRecordBytes];
  EncodeSongRecord(record, bytes);
  std::clearerr(f.get());
  if (std::fseek(f.get(), index * static_cast<long>(kSongRecordBytes), SEEK_SET) != 0) return false;
  if (std::fwrite(bytes, 1, kSongRecordBytes, f.get()) != kSongRecordBytes) return false;
  return std::fflush(f.get()) == 0;
}

std::string LookupSongBPM(const std::string& fileName) {
  const auto record = ReadSongRecord(SongNameOf(fileName));
  return record ? SongBPMText(record->BPM) : std::string();
}

}  // namespace zonda
