// The real program against what the README promises: an audio restart from
// the audio device library's own settings window while both decks play
// leaves both decks sounding; Ctrl-C (SIGINT) closes the executable and saves
// the settings and the song memory exactly as SIGTERM does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "app/ConfigurationDialog.h"
#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "engine/IlvexLibrary.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda::test {
namespace {

namespace fs = std::filesystem;




// The master's left channel recorded for `ms`, without the first 100 ms
// (the first block may still hold what played before).
std::vector<double> RecordLeft(TZondaApp& z, const std::string& file, int ms) {
  EXPECT_TRUE(z.Recorder()->Start(file));
  QTest::qWait(ms);
  z.Recorder()->Stop();
  const std::vector<uint8_t> bytes = ReadAll(file);
  std::vector<double> left;
  for (size_t at = 44 + 4 * 4410; at + 4 <= bytes.size(); at += 4) {
    int16_t s;
    std::memcpy(&s, bytes.data() + at, 2);
    left.push_back(s);
  }
  return left;
}

// Deck A plays 440 Hz, deck B 1000 Hz, both heard through the crossfader in
// the middle. The library's settings window asks for a larger block; the
// program restarts the audio with it; both tones come back at their levels
// and both decks play on.
TEST(ProgramClaims, BothDecksSoundAgainAfterAnAudioRestart) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  unsetenv("ZONDA_AUDIO_BLOCK");  // it would override the window's choice
  TInstallation inst({"songinfo.ssa"});
  const std::string trackA = inst.File("a.wav"), trackB = inst.File("b.wav");
  WriteDeckWav(trackA, SineStereo(44100 * 30, 440, 440, 0.5));
  WriteDeckWav(trackB, SineStereo(44100 * 30, 1000, 1000, 0.5));
  TZondaApp z;
  TStartOptions options;
  options.DeckAFile = trackA;
  options.DeckBFile = trackB;
  ASSERT_EQ(z.Start(options), -1);
  TSoundSource& a = *z.Deck(0);
  TSoundSource& b = *z.Deck(1);
  ASSERT_TRUE(WaitFor([&] { return a.LoadOk.load() && b.LoadOk.load() && a.LoadAnnounced.load() && b.LoadAnnounced.load(); }));
  ClickSkinButton(z, "decka_play_pause");
  ClickSkinButton(z, "deckb_play_pause");
  ASSERT_TRUE(a.Playing.load() && b.Playing.load());

  const auto before = RecordLeft(z, inst.File("before.wav"), 800);
  ASSERT_GT(before.size(), 44100u / 2) << "the master records";
  const double a0 = ToneDb(before, 440), b0 = ToneDb(before, 1000);
  EXPECT_GT(a0, -20.0) << "deck A heard";
  EXPECT_GT(b0, -20.0) << "deck B heard";
  const std::string latencyBefore = z.LatencyText();

  // The settings window of the same library the program uses.
  IlvexLibrary panel;
  ASSERT_TRUE(panel.Load(inst.Tree() + "/libilvex.so")) << panel.LastError();
  bool chosen = false;
  QTimer::singleShot(100, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    auto* block = dialog->findChild<QComboBox*>(QStringLiteral("blockFrames"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    if (block == nullptr || buttons == nullptr) return;
    block->setCurrentIndex(block->findData(1024));
    chosen = block->currentData().toInt() == 1024;
    buttons->button(QDialogButtonBox::Ok)->click();
  });
  QTimer::singleShot(5000, [] {  // never hang the suite
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  panel.AudioControlPanel();
  ASSERT_TRUE(chosen) << "the settings window did not show its block size";
  ASSERT_TRUE(WaitFor([&] { return z.LatencyText() != latencyBefore; }, 5000)) << z.LatencyText();
  EXPECT_EQ(z.LatencyText(), "Latency: 23 ms at 44100 Hz sample rate");
  EXPECT_EQ(z.Configuration()->Label("LatencyLabel")->text().toStdString(), z.LatencyText())
      << "the configuration window shows the new latency";

  const double positionA = a.Position.load(), positionB = b.Position.load();
  const auto after = RecordLeft(z, inst.File("after.wav"), 800);
  ASSERT_GT(after.size(), 44100u / 2) << "the master records after the restart";
  EXPECT_NEAR(ToneDb(after, 440), a0, 0.5) << "deck A after the restart";
  EXPECT_NEAR(ToneDb(after, 1000), b0, 0.5) << "deck B after the restart";
  EXPECT_TRUE(a.Playing.load() && b.Playing.load());
  EXPECT_GT(a.Position.load(), positionA + 44100 / 2);
  EXPECT_GT(b.Position.load(), positionB + 44100 / 2);
  z.MainForm()->ClosingConfirmed = true;
  z.MainForm()->close();
  EXPECT_FALSE(z.EngineRunning());
}

// The executable with a track on deck A, ended by a signal once it is up:
// it exits with 0, having written its settings (the version keys appear only
// at exit) and the song memory (the track's record, absent until then).
TEST(ProgramClaims, CtrlCSavesLikeSigterm) {
  App();
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    TInstallation inst({"songinfo.ssa"});
    const std::string track = inst.File("song.wav");
    WriteDeckWav(track, SineStereo(44100 * 5, 440, 440, 0.5));
    const std::string songMemory = inst.Tree() + "/songinfo.ssa";
    // Up when start-up has written its settings.
    std::string before;
    bool songMemoryBefore = false;
    const int status = RunExecutableUntilSignal(inst, track, signal, 500, [&] {
      before = inst.Settings();
      songMemoryBefore = fs::exists(songMemory);
    });
    ASSERT_NE(status, -1) << "the program did not come up";
    EXPECT_EQ(before.find("MajorVersion="), std::string::npos) << "written only at exit";
    EXPECT_FALSE(songMemoryBefore) << "written only at exit";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string after = inst.Settings();
    EXPECT_NE(after.find("MajorVersion=1"), std::string::npos) << after;
    EXPECT_NE(after.find("MinorVersion=2"), std::string::npos);
    // One 100-byte record named after the track (length byte, then the name).
    const auto record = ReadAll(songMemory);
    ASSERT_EQ(record.size(), 100u);
    EXPECT_EQ(record[0], 8);
    EXPECT_EQ(std::string(record.begin() + 1, record.begin() + 9), "song.wav");
  }
}

}  // namespace
}  // namespace zonda::test
