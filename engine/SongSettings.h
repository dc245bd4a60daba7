#pragma once
// The song settings file: per-song tempo, slow-range flag, hot cues, gain and
// equaliser, in ProgramDir + "/songinfo.ssa" as a flat run of 100-byte
// little-endian records (no header):
//
//   0  44  name: length byte + up to 43 bytes (file name without folder)
//   44  1  0           45 1  slow flags (1 on, 2 off)   46 1  gain + 200 (mod 256)
//   47  8  BPM double (negative = locked)                55 1  selected hot-cue slot 1..8
//   56 32  hot-cue slots 1..8, int32 frames              88 12 EQ low, mid, high, int32
//
// Records are found by exact name; a song's record is rewritten in place, a new
// song appended; names under 2 characters are never stored. File errors are
// swallowed (defaults on load, save skipped, empty BPM text). Every access to
// the file runs under SongSettingsLock().
//
// Threads: the deck saves on the main thread and loads on its worker
// (TSoundSource::SaveSongSettings / LoadSongSettings); LookupSongBPM runs on
// the main thread for list rows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace zonda {

inline constexpr size_t kSongRecordBytes = 100;
inline constexpr size_t kSongNameMaxBytes = 43;

struct TSongRecord {
  std::string Name;
  uint8_t SlowFlags = 0;
  uint8_t GainByte = 200;
  double BPM = 0.0;
  uint8_t SelectedSlot = 1;
  std::array<int32_t, 8> Slots{};  // slots 1..8 at indices 0..7
  int32_t EqLow = 0;
  int32_t EqMid = 0;
  int32_t EqHigh = 0;
};

// What a deck takes from a record when a song opens.
struct TSongSettingsValues {
  bool BPMLocked = false;
  bool SlowBPM = false;
  int32_t StoredBPM = 0;
  int32_t Gain = 0;
  std::array<int32_t, 8> Slots{};
  int32_t SelectedSlot = 1;  // always 1..8
  int32_t EqLow = 0;
  int32_t EqMid = 0;
  int32_t EqHigh = 0;
};

// File name without its folder, cut to 43 characters (and to 43 bytes, whole
// UTF-8 characters only).
std::string SongNameOf(const std::string& fileName);
// Characters (UTF-8 code points) in a name.
size_t SongNameCharacters(const std::string& name);

void EncodeSongRecord(const TSongRecord& record, uint8_t out[kSongRecordBytes]);
TSongRecord DecodeSongRecord(const uint8_t in[kSongRecordBytes]);
// The record's meaning for a deck (BPM lock, slow range, gain byte below 168 = 200, ...).
TSongSettingsValues InterpretSongRecord(const TSongRecord& record);
// First record named songName among the whole records of a file image.
std::optional<TSongRecord> FindSongRecord(const uint8_t* data, size_t size, const std::string& songName);
// Three digits for a BPM of 74..155 ("098", "128"), else "".
std::string SongBPMText(double bpm);

std::mutex& SongSettingsLock();
std::string SongSettingsPath();  // ProgramPath("\\songinfo.ssa")

// Under the lock: the song's record in the file, nullopt when absent or on a file error.
std::optional<TSongRecord> ReadSongRecord(const std::string& songName);
// Under the lock: overwrite the song's record or append it. False on a file error
// or a name under 2 characters.
bool WriteSongRecord(const TSongRecord& record);

// Main thread (list rows): the stored BPM of a file as text, or "".
std::string LookupSongBPM(const std::string& fileName);

}  // namespace zonda
