// onset_drift MIX.wav BPM SYNC_SECONDS
//
// Reads a two-channel 16-bit WAV whose left channel carries one deck's kicks
// and whose right channel the other's (a master render of zonda-engine), finds
// the kick onsets of each channel (the first sample above a quarter of the
// channel's peak, at least 200 ms after the previous onset) and, every 10 s
// from one second after SYNC_SECONDS, the left kick's distance from the
// nearest right kick in beats of BPM (positive: the left deck is late).
// Prints one "T DIFF" line per point, then a summary line:
//   after_sync DIFF worst |DIFF| drift_per_min SLOPE
// where SLOPE is the least-squares slope of DIFF in beats per minute.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: onset_drift MIX.wav BPM SYNC_SECONDS\n");
    return 2;
  }
  std::FILE* f = std::fopen(argv[1], "rb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const double bpm = std::atof(argv[2]);
  const double sync = std::atof(argv[3]);
  std::fseek(f, 44, SEEK_SET);
  std::vector<int16_t> pcm;
  int16_t buf[8192];
  size_t n;
  while ((n = std::fread(buf, 2, 8192, f)) > 0) pcm.insert(pcm.end(), buf, buf + n);
  std::fclose(f);
  const size_t frames = pcm.size() / 2;
  std::vector<int64_t> onsets[2];
  for (int ch = 0; ch < 2; ++ch) {
    int peak = 0;
    for (size_t i = 0; i < frames; ++i) peak = std::max(peak, std::abs(static_cast<int>(pcm[2 * i + ch])));
    int64_t last = -44100;
    for (size_t i = 0; i < frames && peak > 0; ++i) {
      if (std::abs(static_cast<int>(pcm[2 * i + ch])) * 4 < peak) continue;
      if (static_cast<int64_t>(i) - last < 8820) continue;
      onsets[ch].push_back(static_cast<int64_t>(i));
      last = static_cast<int64_t>(i);
    }
  }
  if (onsets[0].empty() || onsets[1].empty()) {
    std::fprintf(stderr, "onset_drift: a channel has no kicks\n");
    return 1;
  }
  const double beat = 60.0 * 44100.0 / bpm;
  std::vector<std::pair<double, double>> points;
  for (double t = sync + 1.0; t < frames / 44100.0 - 1.0; t += 10.0) {
    const auto a = std::lower_bound(onsets[0].begin(), onsets[0].end(), static_cast<int64_t>(t * 44100.0));
    if (a == onsets[0].end()) break;
    int64_t best = onsets[1].front();
    for (int64_t u : onsets[1]) {
      if (std::llabs(u - *a) < std::llabs(best - *a)) best = u;
    }
    const double diff = static_cast<double>(*a - best) / beat;
    points.emplace_back(t, diff);
    std::printf("%.1f %.4f\n", t, diff);
  }
  if (points.size() < 2) return 1;
  double worst = 0.0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [t, d] : points) {
    worst = std::max(worst, std::fabs(d));
    const double m = t / 60.0;
    sx += m;
    sy += d;
    sxx += m * m;
    sxy += m * d;
  }
  const double k = static_cast<double>(points.size());
  const double slope = (k * sxy - sx * sy) / (k * sxx - sx * sx);
  std::printf("after_sync %.4f worst %.4f drift_per_min %.4f\n", points.front().second, worst, slope);
  return 0;
}
