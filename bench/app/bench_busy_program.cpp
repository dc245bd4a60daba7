// The real program on a busy machine: Zonda started in-process on the null
// audio device (or JACK with ZONDA_AUDIO=jack and a running server), both
// decks loaded from the command-line options and started with their PLAY
// buttons beside 0, 2, 4 and 8 busy processes (nice 0), deck A sought into a
// part of its track not decoded yet after 3 s, 12 s in all. The decks' own
// count of silent blocks rendered for want of decoded audio gives:
//   after_play_ms  deck A's silence before the seek (goal: none)
//   seek_ms        deck A's silence from the seek on (goal: under 100 ms)
//   play_ms        deck B's silence (it never seeks; goal: none)
// for WAV, MP3, FLAC and Ogg Vorbis tracks (made with lame, ffmpeg, oggenc).
// ZONDA_DECK_NICE=19 runs the deck workers at the old lowest priority.
//
//   QT_QPA_PLATFORM=offscreen build/<dir>/bench/bench_busy_program
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <vector>

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

const char* const kFormats[] = {"wav", "mp3", "flac", "ogg"};

struct TEnvironment {
  TEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ZONDA_AUDIO", "null", 0);
    std::filesystem::copy(ZONDA_BENCH_PROGRAM_DIR, dir.path() / "zonda", std::filesystem::copy_options::recursive);
    setenv("ZONDA_PROGRAM_DIR", (dir.path() / "zonda").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    zonda::ResetProgramDirForTests();
    App();
    for (const char* deck : {"a", "b"}) {
      const std::string wav = dir.file(std::string(deck) + ".wav");
      zonda::test::WriteDeckWav(wav, zonda::test::SineStereo(44100 * 60, deck[0] == 'a' ? 440 : 1000, 440, 0.5));
      const std::string base = dir.file(deck);
      ok = ok && zonda::test::Run("lame --quiet -b 192 '" + wav + "' '" + base + ".mp3'") == 0 &&
           zonda::test::Run("ffmpeg -loglevel error -y -i '" + wav + "' '" + base + ".flac'") == 0 &&
           zonda::test::Run("oggenc -Q -q 5 -o '" + base + ".ogg' '" + wav + "'") == 0;
    }
  }
  std::string Track(char deck, int format) const { return dir.file(std::string(1, deck) + "." + kFormats[format]); }
  zonda::test::TempDir dir;
  bool ok = true;
};

TEnvironment& Env() {
  static TEnvironment env;
  return env;
}

class TBusy {
 public:
  explicit TBusy(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::alarm(60);
        for (;;) asm volatile("" ::: "memory");
      }
      if (pid > 0) pids_.push_back(pid);
    }
  }
  ~TBusy() {
    for (pid_t pid : pids_) ::kill(pid, SIGKILL);
    for (pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
  }

 private:
  std::vector<pid_t> pids_;
};

double Ms(int64_t frames) { return double(frames) * 1000.0 / 44100.0; }

void BM_BusyMachinePlay(benchmark::State& state) {
  if (!Env().ok) {
    state.SkipWithError("lame, ffmpeg and oggenc are needed");
    return;
  }
  const int format = int(state.range(0));
  const int busyCount = int(state.range(1));
  double afterPlay = 0, seek = 0, play = 0;
  for (auto _ : state) {
    TBusy busy(busyCount);
    TZondaApp z;
    zonda::TStartOptions o;
    o.DeckAFile = Env().Track('a', format);
    o.DeckBFile = Env().Track('b', format);
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
