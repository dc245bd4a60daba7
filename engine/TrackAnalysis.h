#pragma once
// Analysing a whole track on a deck as fast as its worker goes: the track is
// loaded, then the deck seeks through it two chunks at a time (the worker
// analyses the chunk under the position and the next one), waiting for each
// to be analysed. The command-line analyser and the tests use it.
//
//   TSoundSource deck(true);
//   TTrackTempo t = AnalyseTrack(deck, "/music/a.mp3", false);
//   if (t.Opened) printf("%d %d\n", t.BPM, t.Votes);
//
// Runs on the thread that owns the deck (the main thread of a tool or test),
// on a deck that is not playing.
#include <cstdint>
#include <string>

namespace zonda {

class TSoundSource;

struct TTrackTempo {
  bool Opened = false;     // the file opened
  int32_t BPM = 0;         // detected BPM, 0 = none
  int32_t Votes = 0;
  int32_t Chunks = 0;      // chunks of the track
  int32_t Analysed = 0;    // chunks whose analysis finished in time
};

// slow: the 75..124 BPM range. chunkTimeoutMs bounds the wait for each pair
// of chunks (a damaged file, a worker that never answers).
TTrackTempo AnalyseTrack(TSoundSource& deck, const std::string& fileName, bool slow, int32_t chunkTimeoutMs = 20000);

}  // namespace zonda
