#include "decoding/mpeg/MpegSynthesis.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "decoding/mpeg/MpegTables.h"

namespace zonda::mpeg {
namespace {

struct TSynthTables {
  // 1 / (2 cos(pi (2n + 1) / (2N))) for the DCT stages N = 32, 16, 8, 4, 2.
  float inv32[16], inv16[8], inv8[4], inv4[2], inv2[1];
  // Window D scaled to 16-bit full scale, in the order the inner loop reads it.
  alignas(16) float window[512];

  TSynthTables() {
    auto fill = [](float* t, int n) {
      for (int i = 0; i < n / 2; ++i) t[i] = float(1.0 / (2.0 * std::cos(M_PI * (2 * i + 1) / (2.0 * n))));
    };
    fill(inv32, 32);
    fill(inv16, 16);
    fill(inv8, 8);
    fill(inv4, 4);
    fill(inv2, 2);
    double d[512];
    for (int i = 0; i <= 256; ++i) {
      double v = kSynthesisWindowHalf[i] / 65536.0;
      d[i] = v;
      if (i != 0) d[512 - i] = (i & 63) ? -v : v;
    }
    for (int i = 0; i < 512; ++i) window[i] = float(d[i] * 32768.0);
  }
};

const TSynthTables& Tables() {
  static const TSynthTables tables;
  return tables;
}

#if defined(__SSE2__)
// Four slots side by side: the DCT below runs on them as on one.
struct TF4 {
  __m128 v;
};
inline TF4 operator+(TF4 a, TF4 b) { return {_mm_add_ps(a.v, b.v)}; }
inline TF4 operator-(TF4 a, TF4 b) { return {_mm_sub_ps(a.v, b.v)}; }
inline TF4 operator*(TF4 a, float f) { return {_mm_mul_ps(a.v, _mm_set1_ps(f))}; }
#endif

// Unnormalised DCT-II, X[k] = sum x[n] cos(pi (2n + 1) k / (2N)), by Lee's
// recursive split into an even half (sums) and an odd half (scaled differences).
template <int N, typename T>
struct TDct {
  static void Run(const T* x, T* out, const TSynthTables& t) {
    constexpr int H = N / 2;
    const float* inv = N == 32 ? t.inv32 : N == 16 ? t.inv16 : N == 8 ? t.inv8 : N == 4 ? t.inv4 : t.inv2;
    T a[H], b[H], ea[H], ob[H];
    for (int n = 0; n < H; ++n) {
      a[n] = x[n] + x[N - 1 - n];
      b[n] = (x[n] - x[N - 1 - n]) * inv[n];
    }
    TDct<H, T>::Run(a, ea, t);
    TDct<H, T>::Run(b, ob, t);
    for (int k = 0; k < H - 1; ++k) {
      out[2 * k] = ea[k];
      out[2 * k + 1] = ob[k] + ob[k + 1];
    }
    out[N - 2] = ea[H - 1];
    out[N - 1] = ob[H - 1];
  }
};
template <typename T>
struct TDct<1, T> {
  static void Run(const T* x, T* out, const TSynthTables&) { out[0] = x[0]; }
};

inline int16_t Clip16(float v) {
  long s = std::lrintf(v);
  if (s > 32767) s = 32767;
  if (s < -32768) s = -32768;
  return int16_t(s);
}

}  // namespace

TMpegSynthesis::TMpegSynthesis() { Reset(); }

void TMpegSynthesis::Reset() {
  std::memset(history_, 0, sizeof(history_));
  offset_[0] = offset_[1] = 0;
}

void TMpegSynthesis::Run(int channel, const float (*subbands)[32], int slots, float* out) {
  const TSynthTables& t = Tables();
  int s = 0;
#if defined(__SSE2__)
  for (; s + 4 <= slots; s += 4) {
    // Transpose 4 slots x 32 subbands into 32 lanes-of-4, run one DCT, transpose back.
    TF4 in[32], x4[32];
    for (int q = 0; q < 8; ++q) {
      __m128 r0 = _mm_loadu_ps(subbands[s] + 4 * q), r1 = _mm_loadu_ps(subbands[s + 1] + 4 * q);
      __m128 r2 = _mm_loadu_ps(subbands[s + 2] + 4 * q), r3 = _mm_loadu_ps(subbands[s + 3] + 4 * q);
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      in[4 * q].v = r0;
      in[4 * q + 1].v = r1;
      in[4 * q + 2].v = r2;
      in[4 * q + 3].v = r3;
    }
    TDct<32, TF4>::Run(in, x4, t);
    alignas(16) float x[4][32];
    for (int q = 0; q < 8; ++q) {
      __m128 r0 = x4[4 * q].v, r1 = x4[4 * q + 1].v, r2 = x4[4 * q + 2].v, r3 = x4[4 * q + 3].v;
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      _mm_store_ps(x[0] + 4 * q, r0);
      _mm_store_ps(x[1] + 4 * q, r1);
      _mm_store_ps(x[2] + 4 * q, r2);
      _mm_store_ps(x[3] + 4 * q, r3);
    }
    for (int k = 0; k < 4; ++k) Window(channel, x[k], out + (s + k) * 32);
  }
#endif
  for (; s < slots; ++s) {
    alignas(16) float x[32];
    TDct<32, float>::Run(subbands[s], x, t);
    Window(channel, x, out + s * 32);
  }
}

void TMpegSynthesis::Window(int channel, const float* x, float* o) {
  const TSynthTables& t = Tables();
  float* buf = history_[channel];
  int& off = offset_[channel];
  off = (off - 64) & 1023;
  float* v = buf + off;
  // V[i] from the DCT outputs (see the matrixing cos((16 + i)(2k + 1) pi / 64)).
  for (int i = 0; i < 16; ++i) v[i] = x[16 + i];
  v[16] = 0.0f;
  for (int i = 17; i <= 48; ++i) v[i] = -x[48 - i];
  for (int i = 49; i < 64; ++i) v[i] = -x[i - 48];
  // The history is kept twice (offset and offset + 1024) so the window
  // below reads 1024 values in one piece; off is a multiple of 64 <= 960.
  std::memcpy(buf + off + 1024, v, 64 * sizeof(float));
#if defined(__SSE2__)
  // All 32 sums in eight registers over the 16 taps.
  __m128 acc[8];
  for (int q = 0; q < 8; ++q) acc[q] = _mm_setzero_ps();
  for (int i = 0; i < 8; ++i) {
    const float* va = v + 128 * i;
    const float* vb = va + 96;
    const float* da = t.window + 64 * i;
    const float* db = da + 32;
    for (int q = 0; q < 8; ++q) {
      const __m128 a = _mm_mul_ps(_mm_load_ps(da + 4 * q), _mm_load_ps(va + 4 * q));
      const __m128 b = _mm_mul_ps(_mm_load_ps(db + 4 * q), _mm_load_ps(vb + 4 * q));
      acc[q] = _mm_add_ps(acc[q], _mm_add_ps(a, b));
    }
  }
  for (int q = 0; q < 8; ++q) _mm_storeu_ps(o + 4 * q, acc[q]);
#else
  for (int j = 0; j < 32; ++j) {
    float a = 0.0f;
    for (int i = 0; i < 8; ++i) a += t.window[64 * i + j] * v[128 * i + j] + t.window[64 * i + 32 + j] * v[128 * i + 96 + j];
    o[j] = a;
  }
#endif
}

void TMpegSynthesis::ToPcm16(const float* left, const float* right, int samples, int16_t* out) {
  int i = 0;
#if defined(__SSE2__)
  // cvtps2dq rounds to nearest even like lrintf; packs saturates to 16 bits.
  if (right) {
    for (; i + 4 <= samples; i += 4) {
      const __m128i l = _mm_cvtps_epi32(_mm_loadu_ps(left + i));
      const __m128i r = _mm_cvtps_epi32(_mm_loadu_ps(right + i));
      const __m128i l16 = _mm_packs_epi32(l, l);
      const __m128i r16 = _mm_packs_epi32(r, r);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi16(l16, r16));
    }
  } else {
    for (; i + 8 <= samples; i += 8) {
      const __m128i a = _mm_cvtps_epi32(_mm_loadu_ps(left + i));
      const __m128i b = _mm_cvtps_epi32(_mm_loadu_ps(left + i + 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
    }
  }
#endif
  if (right) {
    for (; i < samples; ++i) {
      out[2 * i] = Clip16(left[i]);
      out[2 * i + 1] = Clip16(right[i]);
    }
  } else {
    for (; i < samples; ++i) out[i] = Clip16(left[i]);
  }
}

}  // namespace zonda::mpeg
