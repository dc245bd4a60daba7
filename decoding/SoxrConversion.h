#pragma once
// The high-quality converter to the deck rate (libsoxr, very high quality),
// the decoder front's choice beside the built-in linear one (PCMConversion.h).
//
// Random access, sample-exact: a read of deck frames [a, b) converts the
// source from the whole second at least one second before a (or from the
// start of the file) up to a quarter of a second past b (or to the end of the
// file, then flushed), and keeps frames a..b-1. Whole seconds fall on exact
// frames of both rates, so every read starts the converter at the same phase
// as one continuous conversion of the whole file would be there; with one
// second of history and a quarter second ahead (the very-high-quality
// filter's reach is a few milliseconds) each frame comes out equal to that
// conversion's, so chunks meet without a gap or a click (tests check every
// chunk edge against one continuous conversion).
//
// Deck worker or main thread, under the decoder lock (it is the front's).
#include <cstdint>
#include <vector>

#include "decoding/core/WaveFormat.h"

struct soxr;

namespace zonda {

// The converters of the setting and of zonda-engine's --resampler.
enum class TResampler : int32_t { Linear = 0, Soxr = 1 };
// The converter new opens use (any thread); Linear by default.
void SetDeckResampler(TResampler resampler);
TResampler DeckResampler();

class TSoxrConverter {
 public:
  TSoxrConverter() = default;
  ~TSoxrConverter();
  TSoxrConverter(const TSoxrConverter&) = delete;
  TSoxrConverter& operator=(const TSoxrConverter&) = delete;

  // A source of `sourceRate` Hz and `sourceFrames` frames. False when soxr refuses.
  bool Open(uint32_t sourceRate, int64_t sourceFrames);
  void Close();

  // The source frames a read of deck frames [a, b) needs: [first, end).
  void SourceSpan(int64_t a, int64_t b, int64_t& first, int64_t& end) const;
  // Converts `frames` interleaved stereo 16-bit source frames that start at
  // source frame `first` (from SourceSpan; fewer at the end of the file) and
  // writes deck frames [a, b) into out as interleaved stereo 16-bit; frames
  // past the conversion's end are silence. Returns the frames written (b - a).
  int64_t Convert(const int16_t* source, int64_t first, int64_t frames, int64_t a, int64_t b, int16_t* out);

 private:
  soxr* soxr_ = nullptr;
  uint32_t rate_ = 0;
  int64_t sourceFrames_ = 0;
  std::vector<float> out_;
};

// Interleaved stereo 16-bit from a decoder's own 8/16-bit mono/stereo PCM.
void ToStereo16(const WAVEFORMATEX& src, const uint8_t* in, int64_t frames, int16_t* out);

}  // namespace zonda
