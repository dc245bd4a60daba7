// Fuzzes the song settings reader: record lookup over a file image, the
// meaning of every record, the BPM text and the song-name rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/SongSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zonda;
  // The first record's own name is looked up, so matches happen often.
  std::string name;
  if (size > 0) name.assign(reinterpret_cast<const char*>(data + 1), std::min<size_t>(data[0], size - 1) % 44);
  (void)FindSongRecord(data, size, name);
  for (size_t at = 0; at + kSongRecordBytes <= size; at += kSongRecordBytes) {
    const TSongRecord r = DecodeSongRecord(data + at);
    const TSongSettingsValues v = InterpretSongRecord(r);
    if (v.SelectedSlot < 1 || v.SelectedSlot > 8 || v.StoredBPM < 0 || v.Gain < -32 || v.Gain > 55) std::abort();
    const std::string text = SongBPMText(r.BPM);
    if (!text.empty() && text.size() != 3) std::abort();
    uint8_t back[kSongRecordBytes];
    EncodeSongRecord(r, back);
    if (DecodeSongRecord(back).Name != r.Name) std::abort();
  }
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string song = SongNameOf(path);
  if (song.size() > kSongNameMaxBytes || SongNameCharacters(song) > kSongNameMaxBytes) std::abort();
  return 0;
}
