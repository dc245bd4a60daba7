#include "decoding/SoxrConversion.h"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace zonda {
namespace {

std::atomic<int32_t> gResampler{static_cast<int32_t>(TResampler::Linear)};

constexpr int64_t kHistorySeconds = 1;
constexpr double kLookAheadSeconds = 0.25;

}  // namespace

void SetDeckResampler(TResampler resampler) { gResampler.store(static_cast<int32_t>(resampler)); }
TResampler DeckResampler() { return static_cast<TResampler>(gResampler.load()); }

TSoxrConverter::~TSoxrConverter() { Close(); }

bool TSoxrConverter::Open(uint32_t sourceRate, int64_t sourceFrames) {
  Close();
  soxr_error_t error = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_ = soxr_create(sourceRate, kDeckRateHz, 2, &error, &io, &quality, &runtime);
  if (error != nullptr || soxr_ == nullptr) {
    Close();
    return false;
  }
  rate_ = sourceRate;
  sourceFrames_ = sourceFrames;
  return true;
}

void TSoxrConverter::Close() {
  if (soxr_) soxr_delete(soxr_);
  soxr_ = nullptr;
}

void TSoxrConverter::SourceSpan(int64_t a, int64_t b, int64_t& first, int64_t& end) const {
  const int64_t second = std::max<int64_t>(0, a / kDeckRateHz - kHistorySeconds);
  first = second * rate_;
  const int64_t last = (b * rate_ + kDeckRateHz - 1) / kDeckRateHz;
  end = std::min<int64_t>(sourceFrames_, last + static_cast<int64_t>(std::ceil(kLookAheadSeconds * rate_)));
  if (end < first) end = first;
}

int64_t TSoxrConverter::Convert(const int16_t* source, int64_t first, int64_t frames, int64_t a, int64_t b,
                                int16_t* out) {
  if (b <= a) return 0;
  std::memset(out, 0, static_cast<size_t>(b - a) * 4);
  if (!soxr_ || rate_ == 0) return b - a;
  soxr_clear(soxr_);
  // Deck frame of the first source frame: first is a whole second.
  const int64_t o0 = first / rate_ * kDeckRateHz;
  const int64_t want = b - o0;
  if (want <= 0) return b - a;
  // Room for all the input gives, so that every input frame is taken before
  // the end of the input is signalled (a flush drops what was not taken).
  const int64_t room = std::max<int64_t>(want, frames * kDeckRateHz / rate_ + 64);
  if (out_.size() < static_cast<size_t>(room) * 2) out_.resize(static_cast<size_t>(room) * 2);
  size_t made = 0;
  int64_t taken = 0;
  while (taken < frames && made < static_cast<size_t>(room)) {
    size_t inDone = 0, outDone = 0;
    soxr_process(soxr_, source + taken * 2, static_cast<size_t>(frames - taken), &inDone, out_.data() + made * 2,
                 static_cast<size_t>(room) - made, &outDone);
    taken += static_cast<int64_t>(inDone);
    made += outDone;
    if (inDone == 0 && outDone == 0) break;
  }
  // The end of the input: the file's end is flushed the same way a
  // continuous conversion ends; elsewhere only frames past b are affected.
  while (made < static_cast<size_t>(want)) {
    size_t outDone = 0;
    soxr_process(soxr_, nullptr, 0, nullptr, out_.data() + made * 2, static_cast<size_t>(room) - made, &outDone);
    if (outDone == 0) break;
    made += outDone;
  }
  const int64_t skip = a - o0;
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(made), want);
  for (int64_t k = skip; k < end; ++k) {
    for (int c = 0; c < 2; ++c) {
      const float v = out_[static_cast<size_t>(k) * 2 + c] * 32768.0f;
      const long r = std::lrintf(std::clamp(v, -32768.0f, 32767.0f));
      out[static_cast<size_t>(k - skip) * 2 + c] = static_cast<int16_t>(r);
    }
  }
  return b - a;
}

void ToStereo16(const WAVEFORMATEX& src, const uint8_t* in, int64_t frames, int16_t* out) {
  const uint32_t channels = src.nChannels;
  const uint32_t bytes = src.wBitsPerSample / 8u;
  for (int64_t f = 0; f < frames; ++f) {
    int16_t v[2] = {0, 0};
    for (uint32_t c = 0; c < channels && c < 2; ++c) {
      if (bytes == 1) {
        v[c] = static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint16_t>(in[0]) << 8) ^ 0x8000u));
        in += 1;
      } else {
        v[c] = static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
        in += 2;
      }
    }
    out[2 * f] = v[0];
    out[2 * f + 1] = channels == 2 ? v[1] : v[0];
  }
}

}  // namespace zonda
