// The program's own costs, on the null audio device and the offscreen
// platform: start-up to the main window shown with the default skin,
// shutdown, and one periodic update with both decks playing (the 35 ms tick
// must stay far below its period on the main thread).
//
//   QT_QPA_PLATFORM=offscreen build/<dir>/bench/bench_program
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
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
    setenv("ZONDA_AUDIO", "null", 1);
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

}  // namespace

BENCHMARK_MAIN();
