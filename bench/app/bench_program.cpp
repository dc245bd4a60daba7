// The program's own costs, on the null audio device and the offscreen
// platform: start-up to the main window shown with the default skin,
// shutdown, and one periodic update with both decks playing (the 35 ms tick
// must stay far below its period on the main thread); and the decks on a busy
// machine: both decks loaded from the command-line options and started with
// their PLAY buttons beside 0, 2, 4 and 8 busy processes (nice 0), deck A sought
// into a part of its track not decoded yet after 3 s, 12 s in all. The decks'
// own count of silent blocks rendered for want of decoded audio gives:
//   after_play_ms  deck A's silence before the seek (goal: none)
//   seek_ms        deck A's silence from the seek on (goal: under 100 ms)
//   play_ms        deck B's silence (it never seeks; goal: none)
// for WAV, MP3, FLAC and Ogg Vorbis tracks (made with lame, ffmpeg, oggenc).
// ZONDA_DECK_NICE=19 runs the deck workers at the old lowest priority;
// ZONDA_AUDIO=jack plays through a running JACK server instead of the null device.
//
//   QT_QPA_PLATFORM=offscreen build/<dir>/bench/bench_program [--benchmark_filter=Busy]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/BusyProcesses.h"
#include "tests/support/TestFiles.h"

namespace {

using zonda::TZondaApp;

QApplication& App() {
  static int argc = 1;
  static char name[] = "zonda";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct TEnvironment {
  TEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ZONDA_AUDIO", "null", 0);
    std::filesystem::copy(ZONDA_BENCH_PROGRAM_DIR, dir.path() / "zonda", std::filesystem::copy_options::recursive);
    setenv("ZONDA_PROGRAM_DIR", (dir.path() / "zonda").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    zonda::ResetProgramDirForTests();
    App();
    trackA = dir.file("a.wav");
    trackB = dir.file("b.wav");
    zonda::test::WriteDeckWav(trackA, zonda::test::SineStereo(44100 * 60, 440, 440, 0.5));
    zonda::test::WriteDeckWav(trackB, zonda::test::SineStereo(44100 * 60, 1000, 1000, 0.5));
  }
  // The two tracks as "wav", "mp3", "flac" or "ogg"; false when an encoder failed.
  bool Encode(const char* format) {
    if (std::string(format) == "wav") return true;
    bool ok = true;
    for (const std::string& wav : {trackA, trackB}) {
      const std::string out = wav.substr(0, wav.size() - 3) + format;
      if (std::filesystem::exists(out)) continue;
      const std::string f = format;
      const std::string command = f == "mp3"    ? "lame --quiet -b 192 '" + wav + "' '" + out + "'"
                                  : f == "flac" ? "ffmpeg -loglevel error -y -i '" + wav + "' '" + out + "'"
                                                : "oggenc -Q -q 5 -o '" + out + "' '" + wav + "'";
      ok = ok && zonda::test::Run(command) == 0;
    }
    return ok;
  }
  std::string Track(const std::string& wav, const char* format) const {
    return wav.substr(0, wav.size() - 3) + format;
  }
  zonda::test::TempDir dir;
  std::string trackA, trackB;
};

TEnvironment& Env() {
  static TEnvironment env;
  return env;
}

void BM_StartUpToWindowShown(benchmark::State& state) {
  Env();
  for (auto _ : state) {
    auto z = std::make_unique<TZondaApp>();
    if (z->Start({}) != -1) state.SkipWithError("start-up ended");
    state.SetIterationTime(z->StartMs() / 1000.0);
    z->MainForm()->ClosingConfirmed = true;
    z->MainForm()->close();
    state.counters["shutdown_ms"] = benchmark::Counter(z->ShutdownMs(), benchmark::Counter::kAvgIterations);
    z.reset();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_StartUpToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PeriodicUpdateBothDecksPlaying(benchmark::State& state) {
  Env();
  TZondaApp z;
  zonda::TStartOptions o;
  o.DeckAFile = Env().trackA;
  o.DeckBFile = Env().trackB;
  if (z.Start(o) != -1) {
    state.SkipWithError("start-up ended");
    return;
  }
  while (!(z.Deck(0)->LoadOk.load() && z.Deck(1)->LoadOk.load())) QTest::qWait(5);
  z.MainForm()->Play_but_Click(0);
  z.MainForm()->Play_but_Click(1);
  QTest::qWait(300);
  for (auto _ : state) {
    z.MainForm()->PeriodicUpdate();
  }
  z.MainForm()->ClosingConfirmed = true;
  z.MainForm()->close();
}
BENCHMARK(BM_PeriodicUpdateBothDecksPlaying)->Unit(benchmark::kMicrosecond);

const char* const kFormats[] = {"wav", "mp3", "flac", "ogg"};

double Ms(int64_t frames) { return double(frames) * 1000.0 / 44100.0; }

void BM_BusyMachinePlay(benchmark::State& state) {
  const int format = int(state.range(0));
  if (!Env().Encode(kFormats[format])) {
    state.SkipWithError("lame, ffmpeg and oggenc are needed");
    return;
  }
  const int busyCount = int(state.range(1));
  double afterPlay = 0, seek = 0, play = 0;
  for (auto _ : state) {
    zonda::test::TBusyProcesses busy(busyCount, 60);
    TZondaApp z;
    zonda::TStartOptions o;
    o.DeckAFile = Env().Track(Env().trackA, kFormats[format]);
    o.DeckBFile = Env().Track(Env().trackB, kFormats[format]);
    if (z.Start(o) != -1) {
      state.SkipWithError("start-up ended");
      return;
    }
    while (!(z.Deck(0)->LoadOk.load() && z.Deck(1)->LoadOk.load())) QTest::qWait(5);
    z.MainForm()->Play_but_Click(0);
    z.MainForm()->Play_but_Click(1);
    QTest::qWait(3000);
    const int64_t beforeSeek = z.Deck(0)->MissingAudioFrames();
    z.Deck(0)->RequestSeek(44100 * 40);  // chunk 6: not decoded at load
    QTest::qWait(9000);
    afterPlay += Ms(beforeSeek);
    seek += Ms(z.Deck(0)->MissingAudioFrames() - beforeSeek);
    play += Ms(z.Deck(1)->MissingAudioFrames());
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
  }
  const double n = double(state.iterations());
  state.counters["after_play_ms"] = afterPlay / n;
  state.counters["seek_ms"] = seek / n;
  state.counters["play_ms"] = play / n;
  state.SetLabel(std::string(kFormats[format]) + ", " + std::to_string(busyCount) + " busy");
}
BENCHMARK(BM_BusyMachinePlay)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 2, 4, 8}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
