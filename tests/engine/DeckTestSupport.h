#pragma once
// Shared helpers of the deck tests: an isolated program folder (the song
// settings file lives there), deck-PCM track files with a known byte pattern,
// and waiting for the deck worker.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {

// Points ProgramDir at a fresh folder for the life of the object.
class IsolatedProgramDir {
 public:
  IsolatedProgramDir() {
    if (const char* old = std::getenv("ZONDA_PROGRAM_DIR")) old_ = old;
    setenv("ZONDA_PROGRAM_DIR", dir_.path().c_str(), 1);
    ResetProgramDirForTests();
  }
  ~IsolatedProgramDir() {
    if (old_.empty()) {
      unsetenv("ZONDA_PROGRAM_DIR");
    } else {
      setenv("ZONDA_PROGRAM_DIR", old_.c_str(), 1);
    }
    ResetProgramDirForTests();
  }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string old_;
};

// Byte i of a pattern track's data.
inline uint8_t PatternByte(int64_t i) { return static_cast<uint8_t>((i * 31 + i / 997) & 0xFF); }

// Writes a deck-PCM WAV with `bytes` data bytes of the pattern.
inline std::string WritePatternTrack(const TempDir& dir, const std::string& name, int64_t bytes) {
  std::vector<uint8_t> data(static_cast<size_t>(bytes));
  for (int64_t i = 0; i < bytes; ++i) data[static_cast<size_t>(i)] = PatternByte(i);
  const std::string file = dir.file(name);
  WriteWav(file, WavSpec{}, data);
  return file;
}

template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 30000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Load and wait for the worker to finish OpenTrack.
inline bool LoadAndWait(TSoundSource& deck, const std::string& file) {
  const uint32_t before = deck.WorkerPasses.load();
  if (!deck.Load(file)) return false;
  return WaitUntil([&] { return !deck.LoadPending.load() && deck.WorkerPasses.load() > before; });
}

// Wake the worker and wait for one full pass of DecodeAheadStep.
inline bool RunWorkerPass(TSoundSource& deck) {
  const uint32_t before = deck.WorkerPasses.load();
  deck.WakeEvent.Signal();
  return WaitUntil([&] { return deck.WorkerPasses.load() > before; });
}

// Request a seek and wait until the worker has finished that whole pass (it
// may complete the seek before RequestSeek returns).
inline bool SeekAndWait(TSoundSource& deck, int32_t frame) {
  const uint32_t before = deck.WorkerPasses.load();
  deck.RequestSeek(frame);
  return WaitUntil([&] { return !deck.SeekPending.load() && deck.WorkerPasses.load() > before; });
}

inline std::vector<int32_t> PresentChunks(const TSoundSource& deck) {
  std::vector<int32_t> present;
  for (int32_t i = 0; i < deck.ChunkCount.load(); ++i) {
    if (deck.ChunkAt(i) != nullptr) present.push_back(i);
  }
  return present;
}

}  // namespace zonda::test
