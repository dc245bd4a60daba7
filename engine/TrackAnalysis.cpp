#include "engine/TrackAnalysis.h"

#include <chrono>
#include <thread>

#include "engine/SoundSource.h"

namespace zonda {
namespace {

// Polls until done() or the time is up, waking the worker now and then (it
// sleeps until woken while the deck stands still).
template <class Done>
bool WaitFor(TSoundSource& deck, Done done, int32_t timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  auto lastWake = start;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start > std::chrono::milliseconds(timeoutMs)) return false;
    if (now - lastWake > std::chrono::milliseconds(20)) {
      deck.WakeEvent.Signal();
      lastWake = now;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

}  // namespace

TTrackTempo AnalyseTrack(TSoundSource& deck, const std::string& fileName, bool slow, int32_t chunkTimeoutMs) {
  TTrackTempo r;
  const uint32_t passes = deck.WorkerPasses.load();
  if (!deck.Load(fileName)) return r;
  if (!WaitFor(deck, [&] { return !deck.LoadPending.load() && deck.WorkerPasses.load() > passes; }, chunkTimeoutMs) ||
      !deck.LoadOk.load()) {
    return r;
  }
  r.Opened = true;
  // The requested range, whatever the song's stored settings say.
  deck.SetSlowBPM(slow);
  r.Chunks = deck.ChunkCount.load();
  for (int32_t c = 0; c < r.Chunks; c += 2) {
    if (c > 0) {
      deck.RequestSeek(c * kChunkFrames);
      if (!WaitFor(deck, [&] { return !deck.SeekPending.load(); }, chunkTimeoutMs)) break;
    }
    const int32_t next = c + 1 < r.Chunks ? c + 1 : c;
    if (!WaitFor(deck, [&] { return deck.ChunkAnalysed(c) && deck.ChunkAnalysed(next); }, chunkTimeoutMs)) {
      r.Analysed += deck.ChunkAnalysed(c) ? 1 : 0;
      continue;
    }
    r.Analysed += next != c ? 2 : 1;
  }
  r.BPM = deck.DetectedBPM.load();
  r.Votes = deck.DetectedBPMVotes.load();
  return r;
}

}  // namespace zonda
