// Skin speed: loading the default 1024 x 768 skin, and one repaint (off-screen
// composition plus the copy to the screen surface) of a 300-pixel beat display
// and of a level meter. The 35 ms update tick repaints two displays and four
// meters.
//
//   ./build.sh bench   (reads the skins the build drew into its installation tree)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "skin/ui/TKAVLevel.h"
#include "skin/ui/TSKINBeatDisplay.h"
#include "skin/ui/TSkinLoader.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("ZONDA_PROGRAM_DIR", ZONDA_BENCH_PROGRAM_DIR, 0);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

void BM_LoadSkin1024(benchmark::State& state) {
  App();
  zonda::TActionTables actions;
  QWidget host;
  zonda::TSkinLoader loader(&host, actions);
  const std::string base = zonda::ProgramPath("/skins/zc2000_blue");
  for (auto _ : state) {
    if (!loader.LoadSkin(base)) {
      state.SkipWithError("zc2000_blue not found; set ZONDA_PROGRAM_DIR to the installation tree");
      return;
    }
  }
}
BENCHMARK(BM_LoadSkin1024)->Unit(benchmark::kMillisecond);

void BM_BeatDisplayRepaint300(benchmark::State& state) {
  App();
  QImage sheet(1024, 768, QImage::Format_RGB32);
  sheet.fill(qRgb(8, 10, 14));
  zonda::TSKINBeatDisplayParams p;
  p.dataColor = zonda::MakeColor(58, 160, 255);
  p.cursorColor = zonda::MakeColor(255, 255, 255);
  p.beatDiffVisible = true;
  p.beatDiff = QPoint(250, 4);
  zonda::TSKINBeatDisplay display(nullptr, &sheet, p);
  display.resize(300, 60);
  display.SetStandardWave(state.range(0) == 1);
  std::vector<int16_t> beats(1200), wave(1200);
  for (int i = 0; i < 1200; ++i) {
    beats[i] = int16_t(i % 44 == 16 ? 56 : 40 * std::exp(-(i % 44) / 9.0));
    wave[i] = int16_t(20000 + 10000 * std::sin(i * 0.3));
  }
  QImage screen(300, 60, QImage::Format_RGB32);
  for (auto _ : state) {
    display.SetDisplayData(beats.data(), beats.size());
    display.SetOverviewData(wave.data(), wave.size());
    QPainter painter(&screen);
    painter.drawImage(0, 0, display.Picture());
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_BeatDisplayRepaint300)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_MeterRepaint(benchmark::State& state) {
  App();
  zonda::TKAVLevel meter;
  meter.resize(8, 144);
  QImage screen(8, 144, QImage::Format_RGB32);
  double db = -40;
  for (auto _ : state) {
    db = db > 0 ? -40 : db + 1.5;
    meter.SetValueDB(db);
    QPainter painter(&screen);
    painter.drawImage(0, 0, meter.Picture());
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_MeterRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
