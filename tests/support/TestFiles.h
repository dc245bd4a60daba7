#pragma once
// Fixture helpers for tests and benchmarks: temporary folders, WAV writing,
// synthetic signals, running Debian tools (sox, lame, ffmpeg) at test time.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zonda::test {

// A fresh folder under the system temp dir, removed with its content on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct WavSpec {
  uint16_t channels = 2;
  uint32_t rateHz = 44100;
  uint16_t bits = 16;
  uint16_t fmtChunkBytes = 16;   // 16, 18 or 40 (extensible)
  uint16_t formatTag = 1;        // 1 PCM, 0xFFFE extensible
  bool chunkBeforeFmt = false;   // adds a "LIST" chunk before "fmt "
  std::vector<uint8_t> trailingChunk;  // raw bytes appended after the data chunk
};

// Writes a RIFF WAVE file with the given raw sample bytes.
void WriteWav(const std::string& fileName, const WavSpec& recipe, const std::vector<uint8_t>& sampleBytes);

// Deck PCM (44100 Hz stereo 16-bit) of a sine per channel; frames interleaved.
std::vector<int16_t> SineStereo(int64_t frames, double freqLeftHz, double freqRightHz, double amplitude = 0.5,
                                uint32_t rateHz = 44100);

// Writes deck-format WAV of interleaved stereo samples.
void WriteDeckWav(const std::string& fileName, const std::vector<int16_t>& interleaved);

// Reads the whole file.
std::vector<uint8_t> ReadAll(const std::string& fileName);

// Runs a shell command, returns its exit status (0 = success).
int Run(const std::string& command);

// True when `tool` is on PATH.
bool HaveTool(const std::string& tool);

}  // namespace zonda::test
