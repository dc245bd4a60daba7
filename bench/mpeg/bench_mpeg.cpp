// MPEG decoding speed.
//  - Throughput of a 128 and a 320 kbit/s 44.1 kHz stereo file (60 s), single
//    thread, decoded from memory to 16-bit PCM by our core, by libmpg123 and by
//    FFmpeg's mp3 decoder in the same run; the ratios are printed at the end.
//  - A deck chunk read: ReadAt of 1058400 bytes at random positions of a
//    5-minute file whose frame index is already built (median).
//  - Open of a 10-minute 320 kbit/s file and the first seek to its end.
// Fixtures are made once with sox and lame in $TMPDIR/zonda-bench-mpeg.
//   build/<dir>/bench/bench_mpeg
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "decoding/core/DecoderLock.h"
#include "decoding/core/MpegFirstFrame.h"
#include "decoding/mpeg/DecoderMP3.h"
#include "decoding/mpeg/MpegAudioCore.h"
#include "tests/support/TestFiles.h"

#if ZONDA_HAVE_MPG123
#include <mpg123.h>
#endif
#if ZONDA_HAVE_LIBAV
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#endif

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Throughput is measured in this thread's CPU time: the build machine is
// shared, and wall time would count other people's work.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

fs::path FixtureDir() {
  fs::path d = fs::temp_directory_path() / "zonda-bench-mpeg";
  fs::create_directories(d);
  return d;
}

// A music-like source of `seconds`, encoded once per bitrate.
std::string Fixture(int seconds, int kbps) {
  const fs::path dir = FixtureDir();
  const std::string mp3 = (dir / ("s" + std::to_string(seconds) + "_" + std::to_string(kbps) + ".mp3")).string();
  if (fs::exists(mp3)) return mp3;
  const std::string piece = (dir / "piece.wav").string();
  if (!fs::exists(piece))
    zonda::test::Run("sox -q -n -r 44100 -c 2 -b 16 '" + piece +
                     "' synth 4 pluck C3 pluck G4 fade 0 4 1 : synth 3 sine 100-8000 sine 300-6000 vol 0.4 : "
                     "synth 3 pinknoise vol 0.3 : synth 5 pluck E2 pluck B4 pluck D5");
  const std::string wav = (dir / ("long" + std::to_string(seconds) + ".wav")).string();
  if (!fs::exists(wav))
    zonda::test::Run("sox -q '" + piece + "' '" + wav + "' repeat " + std::to_string(seconds / 15) + " trim 0 " +
                     std::to_string(seconds));
  zonda::test::Run("lame --quiet -b " + std::to_string(kbps) + " '" + wav + "' '" + mp3 + "'");
  return mp3;
}

std::map<std::string, double> g_realtime;  // benchmark name -> seconds of audio per second

void Record(benchmark::State& state, const std::string& name, double audioSeconds, double elapsed) {
  const double rt = audioSeconds / elapsed;
  state.counters["x_realtime"] = rt;
  g_realtime[name] = rt;
}

void BM_ZondaCore(benchmark::State& state) {
  const int kbps = int(state.range(0));
  const std::vector<uint8_t> d = zonda::test::ReadAll(Fixture(60, kbps));
  const int64_t first = zonda::MpegFirstFramePos(Fixture(60, kbps).c_str());
  std::vector<int16_t> pcm(2304);
  double audio = 0, elapsed = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    size_t pos = size_t(first);
    zonda::mpeg::TMpegHeader h;
    int32_t len = zonda::mpeg::ParseHeader(d.data() + pos, int32_t(d.size() - pos), h);
    zonda::mpeg::InitDecoder(h, len, 0, 0, 0, 24000);
    int64_t samples = 0;
    while (pos + 4 <= d.size()) {
      len = zonda::mpeg::ParseHeader(d.data() + pos, int32_t(d.size() - pos), h);
      if (len <= 0) break;
      const zonda::mpeg::TDecodeResult r = zonda::mpeg::DecodeFrame(d.data() + pos, int32_t(d.size() - pos), pcm.data());
      pos += size_t(len + h.paddingBit);
      samples += r.bytesProduced / 4;
      benchmark::DoNotOptimize(pcm.data());
    }
    elapsed += CpuSeconds() - t0;
    audio += double(samples) / 44100.0;
  }
  Record(state, "zonda_" + std::to_string(kbps), audio, elapsed);
}
BENCHMARK(BM_ZondaCore)->Arg(128)->Arg(320)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#if ZONDA_HAVE_MPG123
void BM_Mpg123(benchmark::State& state) {
  const int kbps = int(state.range(0));
  const std::vector<uint8_t> d = zonda::test::ReadAll(Fixture(60, kbps));
#if MPG123_API_VERSION < 46
  mpg123_init();
#endif
  std::vector<unsigned char> pcm(1 << 16);
  double audio = 0, elapsed = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(mh);
    mpg123_feed(mh, d.data(), d.size());
    int64_t bytes = 0;
    for (;;) {
      size_t done = 0;
      const int rc = mpg123_read(mh, pcm.data(), pcm.size(), &done);
      bytes += int64_t(done);
      benchmark::DoNotOptimize(pcm.data());
      if (rc == MPG123_NEW_FORMAT) continue;
      if (rc != MPG123_OK) break;
    }
    mpg123_delete(mh);
    elapsed += CpuSeconds() - t0;
    audio += double(bytes) / 176400.0;
  }
  Record(state, "mpg123_" + std::to_string(kbps), audio, elapsed);
}
BENCHMARK(BM_Mpg123)->Arg(128)->Arg(320)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

#if ZONDA_HAVE_LIBAV
void BM_FFmpeg(benchmark::State& state) {
  const int kbps = int(state.range(0));
  const std::string file = Fixture(60, kbps);
  AVFormatContext* fmt = nullptr;
  av_log_set_level(AV_LOG_QUIET);
  if (avformat_open_input(&fmt, file.c_str(), nullptr, nullptr) < 0) {
    state.SkipWithError("avformat_open_input");
    return;
  }
  avformat_find_stream_info(fmt, nullptr);
  std::vector<AVPacket*> packets;
  for (;;) {
    AVPacket* p = av_packet_alloc();
    if (av_read_frame(fmt, p) < 0) {
      av_packet_free(&p);
      break;
    }
    packets.push_back(p);
  }
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
  AVFrame* frame = av_frame_alloc();
  double audio = 0, elapsed = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, fmt->streams[0]->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    int64_t samples = 0;
    for (AVPacket* p : packets) {
      if (avcodec_send_packet(ctx, p) < 0) continue;
      while (avcodec_receive_frame(ctx, frame) == 0) samples += frame->nb_samples;
    }
    avcodec_free_context(&ctx);
    elapsed += CpuSeconds() - t0;
    audio += double(samples) / 44100.0;
  }
  av_frame_free(&frame);
  for (AVPacket*& p : packets) av_packet_free(&p);
  avformat_close_input(&fmt);
  Record(state, "ffmpeg_" + std::to_string(kbps), audio, elapsed);
}
BENCHMARK(BM_FFmpeg)->Arg(128)->Arg(320)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

// Deck chunk reads at random positions of a 5-minute file, index built.
void BM_DeckChunkRead(benchmark::State& state) {
  const int kbps = int(state.range(0));
  zonda::TDecoderMP3 mp3;
  if (!mp3.Open(Fixture(300, kbps))) {
    state.SkipWithError("open");
    return;
  }
  std::vector<uint8_t> chunk(1058400);
  std::lock_guard<std::recursive_mutex> lock(zonda::DecoderLock());
  mp3.ReadAt(mp3.PCMSize() - 1058400, chunk.data(), 1058400);  // builds the whole index
  uint32_t rnd = 2024;
  std::vector<double> ms, cpu;
  for (auto _ : state) {
    rnd = rnd * 1664525u + 1013904223u;
    const int32_t pos = int32_t((rnd >> 4) % uint32_t((mp3.PCMSize() - 1058400) / 4)) * 4;
    const auto t0 = Clock::now();
    const double c0 = CpuSeconds();
    mp3.ReadAt(pos, chunk.data(), 1058400);
    cpu.push_back((CpuSeconds() - c0) * 1000.0);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  std::sort(cpu.begin(), cpu.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["median_cpu_ms"] = cpu[cpu.size() / 2];
}
BENCHMARK(BM_DeckChunkRead)->Arg(128)->Arg(320)->Iterations(41)->Unit(benchmark::kMillisecond);

// Open of a 10-minute 320 kbit/s file, then the first read at its end.
void BM_OpenAndSeekToEnd(benchmark::State& state) {
  const std::string file = Fixture(600, 320);
  std::vector<uint8_t> chunk(1058400);
  double openMs = 0, seekMs = 0;
  int n = 0;
  std::lock_guard<std::recursive_mutex> lock(zonda::DecoderLock());
  for (auto _ : state) {
    zonda::TDecoderMP3 mp3;
    const auto t0 = Clock::now();
    mp3.Open(file);
    const auto t1 = Clock::now();
    mp3.ReadAt(mp3.PCMSize() - 1058400, chunk.data(), 1058400);
    const auto t2 = Clock::now();
    openMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
    seekMs += std::chrono::duration<double, std::milli>(t2 - t1).count();
    ++n;
  }
  state.counters["open_ms"] = openMs / n;
  state.counters["first_seek_end_ms"] = seekMs / n;
}
BENCHMARK(BM_OpenAndSeekToEnd)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* kbps : {"128", "320"}) {
    const double ours = g_realtime["zonda_" + std::string(kbps)];
    if (ours <= 0) continue;
    std::printf("%s kbit/s: zonda %.0fx realtime", kbps, ours);
    for (const char* peer : {"mpg123", "ffmpeg"}) {
      const double p = g_realtime[std::string(peer) + "_" + kbps];
      if (p > 0) std::printf(", %s %.0fx (ratio zonda/%s %.2f)", peer, p, peer, ours / p);
    }
    std::printf("\n");
  }
  return 0;
}
