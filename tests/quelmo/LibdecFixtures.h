#pragma once
// Fixtures for the library-backed decoders: a non-periodic test signal written
// as WAV, encoded at test time with ffmpeg/oggenc, and FFmpeg's own decode of
// a file as the reference. Also a dlopen'ed view of libquelmo.so/libombrel.so.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zonda::test {

// frames x channels interleaved in -1..1: a sweep, a second tone and a little
// noise per channel (so no two positions look alike).
std::vector<float> TestSignal(int64_t frames, int channels, int rate);
// Little-endian PCM WAV (16, 24 or 32 bits), extensible header above 2 channels.
void WriteSignalWav(const std::string& fileName, const std::vector<float>& signal, int channels, int rate, int bits);

struct TFixture {
  std::string name;     // also the file name
  std::string path;
  int64_t sourceFrames; // frames of the generated signal
  int rate;             // source rate
  int channels;         // source channels
};

// Encodes a WAV of `seconds` with the given ffmpeg output arguments into dir/name.
// Returns false (test should skip) when the tool fails.
bool MakeFixture(const TempDir& dir, const std::string& name, const std::string& ffmpegArgs, double seconds,
                 int rate, int channels, int bits, TFixture* out);

// FFmpeg's decode of the whole file as s16 with `channels` and `rate`, every
// packet's samples kept (edit lists and skip hints ignored, as ours).
std::vector<int16_t> FFmpegReference(const std::string& path, int channels, int rate);

// Largest absolute sample difference over the first `frames` frames.
int MaxAbsDiff(const int16_t* a, const int16_t* b, int64_t samples);

// A decoding library bound by name from ProgramDir (as the program does).
struct TLoadedLibrary {
  void* handle = nullptr;
  void* (*create_obj)() = nullptr;
  void (*destroy_obj)(void*) = nullptr;
  int32_t (*open)(void*, const char*, void*) = nullptr;
  int32_t (*getsamples)(void*, void*, int32_t, int32_t) = nullptr;
  void (*close)(void*) = nullptr;
  int32_t (*check_quicktime)() = nullptr;  // libquelmo only
  bool ok() const { return create_obj && destroy_obj && open && getsamples && close; }
};
TLoadedLibrary LoadLibrary(const std::string& soName);

struct TInfo {
  int32_t rate, channels, bits, frameBits, reserved, totalFrames;
};

// Opens through the library and reads everything in 1-second requests.
std::vector<int16_t> ReadAllFrames(const TLoadedLibrary& lib, void* obj, const TInfo& info);

}  // namespace zonda::test
