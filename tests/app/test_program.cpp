// The real program: start-up with a fresh copy of the installation and a
// private settings folder, two generated tracks played, cued, looped and
// pitched with mouse events on the skin controls, the master output checked
// through the recorder; the exit question, shutdown, and a restart that
// finds the settings and the song's cue again. Also: a second start, a
// missing required file, and the executable itself under SIGTERM.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "app/KeyboardHook.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "app/SingleInstance.h"
#include "app/ZondaApp.h"
#include "lists/ListSet.h"
#include "lists/ui/ListeQZ.h"
#include "lists/SongListTemplate.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/support/BeatTrack.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {
namespace {

namespace fs = std::filesystem;


// Answers every message box that opens with `answer`, keeping their texts.
class TDialogAnswerer {
 public:
  explicit TDialogAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      texts.push_back(box->text().toStdString());
      QAbstractButton* b = box->button(answer_);
      if (b == nullptr) b = box->button(QMessageBox::Ok);
      if (b != nullptr) b->click();
    });
    timer_.start(10);
  }
  void SetAnswer(QMessageBox::StandardButton a) { answer_ = a; }
  std::vector<std::string> texts;

 private:
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};



// Positive-going zero crossings per second of the left channel.
double FrequencyOf(const std::vector<int16_t>& pcm) {
  int crossings = 0;
  for (size_t i = 2; i < pcm.size(); i += 2) crossings += (pcm[i - 2] < 0 && pcm[i] >= 0) ? 1 : 0;
  return crossings * 44100.0 / (pcm.size() / 2.0);
}

double RmsDb(const std::vector<int16_t>& pcm) {
  double s = 0;
  for (size_t i = 0; i < pcm.size(); i += 2) s += double(pcm[i]) * pcm[i];
  return 20 * std::log10(std::sqrt(s / std::max<size_t>(pcm.size() / 2, 1)) / 32768.0 + 1e-9);
}

// The first 0.1 s of a recording may still hold what played before.
constexpr size_t kSettleFrames = 4410;
constexpr size_t kRecordFrames = 26460;  // 0.6 s looked at

// Records the master until the recorder has written the settling frames and
// kRecordFrames more, however slowly the device runs, and returns those frames.
std::vector<int16_t> Record(TZondaApp& z, const std::string& file) {
  EXPECT_TRUE(z.Recorder()->Start(file));
  const int64_t bytes = static_cast<int64_t>(kSettleFrames + kRecordFrames) * 4;
  EXPECT_TRUE(WaitFor([&] { return z.Recorder()->RecordedBytes() >= bytes; }, 60000)) << "the recording stalled";
  z.Recorder()->Stop();
  const std::vector<uint8_t> data = ReadAll(file);
  std::vector<int16_t> pcm(data.size() > 44 ? (data.size() - 44) / 2 : 0);
  if (!pcm.empty()) std::memcpy(pcm.data(), data.data() + 44, pcm.size() * 2);
  if (pcm.size() < 2 * kSettleFrames) return {};
  pcm.erase(pcm.begin(), pcm.begin() + 2 * kSettleFrames);
  return pcm;
}

void PlayMixCueLoopPitchRestart(const char* audio) {
  App();
  setenv("ZONDA_AUDIO", audio, 1);
  TInstallation inst;
  const std::string trackA = inst.File("a.wav"), trackB = inst.File("b.wav");
  WriteDeckWav(trackA, SineStereo(44100 * 20, 440, 440, 0.5));
  WriteDeckWav(trackB, SineStereo(44100 * 20, 1000, 1000, 0.5));
  // Key lock off, so pitch shows in the frequency.
  fs::create_directories(fs::path(inst.ConfigFile()).parent_path());
  std::ofstream(inst.ConfigFile()) << "[General]\nKeyLockNew=0\n";

  int32_t cueFrame = 0;
  {
    TDialogAnswerer answers(QMessageBox::Ok);
    TZondaApp z;
    TStartOptions options;
    options.DeckAFile = trackA;
    options.DeckBFile = trackB;
    ASSERT_EQ(z.Start(options), -1);
    ASSERT_TRUE(z.MainForm()->isVisible());
    TSoundSource& a = *z.Deck(0);
    TSoundSource& b = *z.Deck(1);
    ASSERT_TRUE(WaitFor([&] { return a.LoadOk.load() && b.LoadOk.load(); }));
    ASSERT_TRUE(WaitFor([&] { return a.LoadAnnounced.load() && b.LoadAnnounced.load(); }));

    // Play deck A: 440 Hz in the master.
    ClickSkinButton(z, "decka_play_pause");
    EXPECT_TRUE(a.Playing.load());
    std::vector<int16_t> out = Record(z, inst.File("r1.wav"));
    ASSERT_GE(out.size(), 2 * kRecordFrames);
    EXPECT_NEAR(FrequencyOf(out), 440, 8);
    EXPECT_GT(RmsDb(out), -20);

    // Pitch slider dragged to its end: +16 %, so 510 Hz.
    {
      TActionTables& t = *z.Actions();
      const TSliderAction& s = t.Slider(t.FindSliderAction("decka_pitch"));
      ASSERT_TRUE(s.IsBound());
      QWidget& w = s.Round() ? static_cast<QWidget&>(*z.MainForm()->Skins().RoundSliders().at(s.ControlIndex()))
                             : static_cast<QWidget&>(*z.MainForm()->Skins().Sliders().at(s.ControlIndex()));
      const bool vertical = w.height() > w.width();
      const QPoint mid(w.width() / 2, w.height() / 2);
      QTest::mousePress(&w, Qt::LeftButton, {}, mid);
      for (int k = 1; k <= 10; ++k) {
        QTest::mouseMove(&w, vertical ? QPoint(mid.x(), mid.y() + k * w.height()) : QPoint(mid.x() - k * w.width(), mid.y()));
      }
      QTest::mouseRelease(&w, Qt::LeftButton, {}, vertical ? QPoint(mid.x(), w.height() * 3) : QPoint(-w.width() * 3, mid.y()));
      EXPECT_EQ(a.GetPitch(), 1600);
    }
    out = Record(z, inst.File("r2.wav"));
    ASSERT_GE(out.size(), 2 * kRecordFrames);
    EXPECT_NEAR(FrequencyOf(out), 440 * 1.16, 10);

    // Hot cue 2: select the empty slot, CUE sets it where the deck plays.
    ClickSkinButton(z, "decka_cue2");
    ClickSkinButton(z, "decka_cue");
    cueFrame = a.CueSlots[2].load();
    EXPECT_GT(cueFrame, 0);
    EXPECT_TRUE(z.Actions()->Button(z.Actions()->FindButtonAction("decka_cue2")).Lit());
    QTest::qWait(400);
    ClickSkinButton(z, "decka_cue");  // a short press on a playing deck jumps back to the cue
    EXPECT_LT(std::abs(a.PositionFrame() - cueFrame), 44100 / 5);
    EXPECT_TRUE(a.Playing.load());

    // A one-beat loop keeps the position inside it.
    ClickSkinButton(z, "decka_loop_1");
    ASSERT_TRUE(a.LoopActive.load());
    const int32_t loopStart = a.LoopStart.load(), loopEnd = a.LoopEnd.load();
    // One beat at the chunk's analysed tempo (a steady tone has one too).
    EXPECT_NEAR(loopEnd - loopStart, 2646000.0 / a.CurrentBPM() - 1.0, 1.0);
    QTest::qWait(1200);
    EXPECT_GE(a.PositionFrame(), loopStart);
    EXPECT_LE(a.PositionFrame(), loopEnd + 4096);

    // Deck A stopped, deck B playing: 1000 Hz.
    ClickSkinButton(z, "decka_play_pause");
    ClickSkinButton(z, "deckb_play_pause");
    out = Record(z, inst.File("r3.wav"));
    ASSERT_GE(out.size(), 2 * kRecordFrames);
    EXPECT_NEAR(FrequencyOf(out), 1000, 12);

    ClickSkinButton(z, "random");
    EXPECT_TRUE(z.Actions()->Button(z.Actions()->FindButtonAction("random")).Selected());

    // Cancelling the exit question keeps everything running.
    answers.SetAnswer(QMessageBox::Cancel);
    ClickSkinButton(z, "close");
    QTest::qWait(50);
    EXPECT_TRUE(z.MainForm()->isVisible());
    EXPECT_TRUE(z.EngineRunning());
    EXPECT_TRUE(b.Playing.load());
    answers.SetAnswer(QMessageBox::Ok);
    ClickSkinButton(z, "close");
    ASSERT_TRUE(WaitFor([&] { return !z.EngineRunning(); }, 5000));
    EXPECT_FALSE(z.MainForm()->isVisible());
    EXPECT_FALSE(answers.texts.empty());
  }
  const std::string settings = inst.Settings();
  EXPECT_NE(settings.find("Random=1"), std::string::npos);
  EXPECT_NE(settings.find("KeyLockNew=0"), std::string::npos);
  EXPECT_NE(settings.find("MinorVersion=2"), std::string::npos);

  // Restart: the settings and the song's hot cue come back.
  {
    TDialogAnswerer answers(QMessageBox::Ok);
    TZondaApp z;
    TStartOptions options;
    options.DeckAFile = trackA;
    ASSERT_EQ(z.Start(options), -1);
    EXPECT_TRUE(z.Actions()->Button(z.Actions()->FindButtonAction("random")).Selected());
    EXPECT_FALSE(z.Config().KeyLockNew);
    TSoundSource& a = *z.Deck(0);
    ASSERT_TRUE(WaitFor([&] { return a.LoadOk.load() && a.LoadAnnounced.load(); }));
    EXPECT_EQ(a.CueSlots[2].load(), cueFrame);
    EXPECT_TRUE(z.Actions()->Button(z.Actions()->FindButtonAction("decka_cue2")).Lit());
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
    EXPECT_FALSE(z.EngineRunning());
    EXPECT_TRUE(answers.texts.empty());  // a confirmed close asks nothing
  }
}

TEST(Program, PlaysCuesLoopsAndPitchesOnTheNullDevice) { PlayMixCueLoopPitchRestart("null"); }

TEST(Program, PlaysCuesLoopsAndPitchesThroughJack) {
  if (!std::getenv("ZONDA_JACK_RUNNING")) {
    ZONDA_SKIP_OR_FAIL("no JACK server: ZONDA_JACK_RUNNING not set (./build.sh test starts one)");
  }
  PlayMixCueLoopPitchRestart("jack");
}

TEST(Program, ASecondStartSaysSoAndLeavesTheSettingsAlone) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  TDialogAnswerer answers(QMessageBox::Ok);
  TZondaApp first;
  ASSERT_EQ(first.Start({}), -1);
  const std::string before = inst.Settings();
  ASSERT_FALSE(before.empty());
  {
    TZondaApp second;
    EXPECT_EQ(second.Start({}), 0);
    EXPECT_EQ(second.MainForm(), nullptr);
  }
  ASSERT_EQ(answers.texts.size(), 1u);
  EXPECT_EQ(answers.texts[0], "Zonda is already opened !");
  EXPECT_EQ(inst.Settings(), before);

  // The skin editing tool's message shows the skin named by "SkinTest".
  const int widthBefore = first.MainForm()->Skins().SkinWidth();
  {
    QSettings store(QString::fromStdString(inst.ConfigFile()), QSettings::IniFormat);
    store.setValue("SkinTest", QString::fromStdString(inst.Tree() + "/skins/zc2000_blue"));
  }
  ASSERT_TRUE(TSingleInstance::SendSkinTest());
  ASSERT_TRUE(WaitFor([&] { return first.MainForm()->Skins().SkinWidth() != widthBefore; }, 5000));
  EXPECT_EQ(first.MainForm()->Skins().SkinWidth(), 1024);
  first.MainForm()->ClosingConfirmed = true;
  first.MainForm()->close();
}

TEST(Program, AMissingRequiredFileEndsTheStart) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst({"libombrel.so"});
  TDialogAnswerer answers(QMessageBox::Ok);
  TZondaApp z;
  EXPECT_EQ(z.Start({}), 1);
  ASSERT_EQ(answers.texts.size(), 1u);
  EXPECT_EQ(answers.texts[0], "Some files are missing ! Please reinstall !!!");
  EXPECT_EQ(z.MainForm(), nullptr);
}

TEST(Program, KeyboardShortcutsAndDroppedFilesReachTheDecks) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  const std::string track = inst.File("drop.wav");
  WriteDeckWav(track, SineStereo(44100 * 5, 440, 440, 0.5));
  TDialogAnswerer answers(QMessageBox::Ok);
  TZondaApp z;
  ASSERT_EQ(z.Start({}), -1);
  TMainForm& form = *z.MainForm();
  // A file dropped over the right half loads into deck B.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(track))});
  const QPoint at(form.width() * 3 / 4, form.height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&form, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&form, &drop);
  TSoundSource& b = *z.Deck(1);
  ASSERT_EQ(b.FileName, track) << "accepted " << drop.isAccepted();
  ASSERT_TRUE(WaitFor([&] { return b.LoadOk.load() && b.LoadAnnounced.load(); }));
  EXPECT_EQ(b.FileName, track);
  EXPECT_EQ(z.Actions()->Text(z.Actions()->FindTextAction("deckb_songname")).Text(), "DROP.WAV");

  // Over deck A's beat display, which takes drops itself: deck A.
  {
    const TBeatDisplayAction& display = z.Actions()->BeatDisplay(z.Actions()->FindBeatDisplayAction("decka"));
    ASSERT_TRUE(display.IsBound());
    QWidget& w = *form.Skins().BeatDisplays().at(static_cast<size_t>(display.ControlIndex()));
    const QPoint mid(w.width() / 2, w.height() / 2);
    QDragEnterEvent enterA(mid, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&w, &enterA);
    QDropEvent dropA(QPointF(mid), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&w, &dropA);
    EXPECT_EQ(z.Deck(0)->FileName, track);
  }

  // A learned key presses the bound button through the keyboard hook.
  TActionTables& t = *z.Actions();
  t.Button(t.FindButtonAction("deckb_play_pause")).Key = VirtualKeyFromQt(Qt::Key_P, false);
  QTest::keyClick(&form, Qt::Key_P);
  EXPECT_TRUE(b.Playing.load());
  QTest::keyClick(&form, Qt::Key_P);
  EXPECT_FALSE(b.Playing.load());
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F1, false), 0x70);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_5, true), 0x65);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Exclam, false), 0x31);
  form.ClosingConfirmed = true;
  form.close();
}

TEST(Program, TheExecutableStartsLoadsAndSavesOnSigterm) {
  App();
  TInstallation inst;
  const std::string track = inst.File("a.wav");
  WriteDeckWav(track, SineStereo(44100 * 5, 440, 440, 0.5));
  // Up when the start-up has written its settings and the deck's song is known.
  const int status = RunExecutableUntilSignal(inst, track, SIGTERM, 300, [] {});
  ASSERT_NE(status, -1) << "the program did not come up";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string settings = inst.Settings();
  EXPECT_NE(settings.find("LastDirectory=" + inst.Tree()), std::string::npos);
  EXPECT_NE(settings.find("MajorVersion=1"), std::string::npos);  // written at exit
  EXPECT_TRUE(fs::exists(inst.Tree() + "/songinfo.ssa"));
}


// SYNC pressed with the mouse in the running program: deck A (124 BPM, kicks
// on the left) follows deck B (127.3 BPM, kicks on the right), and in the
// recorded master the two kick trains coincide within 1/32 beat.
TEST(Program, SyncButtonLinesUpTheKicksOfBothDecks) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  const std::string trackA = inst.File("a.wav"), trackB = inst.File("b.wav");
  WriteDeckWav(trackA, KickTrack({.seconds = 40.0, .bpm = 124.0, .firstBeatFrame = 3000.0, .channels = 1}));
  WriteDeckWav(trackB, KickTrack({.seconds = 40.0, .bpm = 127.3, .firstBeatFrame = 11000.0, .channels = 2}));
  // Key lock off: the kicks keep their shape at the new tempo.
  fs::create_directories(fs::path(inst.ConfigFile()).parent_path());
  std::ofstream(inst.ConfigFile()) << "[General]\nKeyLockNew=0\n";
  TDialogAnswerer answers(QMessageBox::Ok);
  TZondaApp z;
  TStartOptions options;
  options.DeckAFile = trackA;
  options.DeckBFile = trackB;
  ASSERT_EQ(z.Start(options), -1);
  TSoundSource& a = *z.Deck(0);
  TSoundSource& b = *z.Deck(1);
  ASSERT_TRUE(WaitFor([&] { return a.LoadAnnounced.load() && b.LoadAnnounced.load(); }));
  ClickSkinButton(z, "deckb_play_pause");
  ASSERT_TRUE(WaitFor([&] {
    return a.ChunkAnalysed(0) && b.ChunkAnalysed(b.PositionFrame() / kChunkFrames) && b.PositionFrame() > 44100;
  }));
  ClickSkinButton(z, "decka_sync");
  EXPECT_TRUE(a.Playing.load());
  EXPECT_NEAR(a.GetPitch(), 266, 6) << "127.3 / 124";

  const std::string file = inst.File("sync.wav");
  ASSERT_TRUE(z.Recorder()->Start(file));
  ASSERT_TRUE(WaitFor([&] { return z.Recorder()->RecordedBytes() >= 6 * 176400; }, 60000));
  z.Recorder()->Stop();
  const std::vector<uint8_t> data = ReadAll(file);
  ASSERT_GT(data.size(), 44u + 5u * 176400u);
  std::vector<int16_t> left, right;
  for (size_t i = 44; i + 3 < data.size(); i += 4) {
    left.push_back(static_cast<int16_t>(data[i] | (data[i + 1] << 8)));
    right.push_back(static_cast<int16_t>(data[i + 2] | (data[i + 3] << 8)));
  }
  const auto kicksA = KickOnsets(left);
  const auto kicksB = KickOnsets(right);
  ASSERT_GE(kicksA.size(), 8u);
  ASSERT_GE(kicksB.size(), 8u);
  EXPECT_LT(WorstOnsetGapBeats(kicksA, kicksB, 0, BeatFramesOf(127.3)), 1.0 / 32);
  EXPECT_LE(std::abs(z.MainForm()->State().BeatDiff), 3);
  // ZONDA_SCREENSHOT=file.png keeps a picture of the window with both decks synced.
  if (const char* out = std::getenv("ZONDA_SCREENSHOT")) z.MainForm()->grab().save(out);
}

// The library through the real executable: what is in the lists at start is
// there after a SIGTERM exit, and History (which the command-line song went
// into) is empty again.
TEST(Program, TheExecutableKeepsTheLibraryAndEmptiesHistoryAtExit) {
  App();
  TInstallation inst;
  const std::string track = inst.File("b.wav");
  WriteDeckWav(track, SineStereo(44100 * 2, 440, 440, 0.5));
  const std::string folder = inst.Tree() + "/lists";
  {
    TListVector lists;
    ASSERT_TRUE(LoadAllListsFrom(folder, lists).empty());
    TLista& database = lists.ListAt(1);
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
      database.AddRow();
      database.SetCell(database.RowCount(), ColName, name);
      database.SetCell(database.RowCount(), ColPath, std::string("/music/") + name);
    }
    ASSERT_TRUE(SaveAllListsTo(folder, lists).empty());
  }
  const int status = RunExecutableUntilSignal(inst, track, SIGTERM, 300, [] {});
  ASSERT_NE(status, -1) << "the program did not come up";
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  TListVector after;
  ASSERT_TRUE(LoadAllListsFrom(folder, after).empty());
  ASSERT_EQ(after.ListCount(), 4);
  EXPECT_EQ(after.ListAt(1).RowCount(), 3);
  EXPECT_EQ(after.ListAt(1).GetCell(2, ColName), "two.mp3");
  EXPECT_EQ(after.ListAt(2).RowCount(), 0);
  EXPECT_EQ(after.ListAt(2).Name, "History");
}


// The Auto-DJ switch pressed with the mouse in the running program on the
// null device: it mixes the shown list by itself (mixing time 2.0 s), and the
// recording shows each transition, the two kick trains (one per channel)
// within 1/16 beat while both sound, and no pause in the music.
TEST(Program, AutoDJSwitchMixesTheShownListBeatMatched) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  const double bpm[3] = {122.0, 128.0, 125.0};
  QStringList files;
  for (int i = 0; i < 3; ++i) {
    const std::string f = inst.File("t" + std::to_string(i) + ".wav");
    WriteDeckWav(f, KickTrack({.seconds = 14.0, .bpm = bpm[i], .firstBeatFrame = 2000.0 + 3000.0 * i,
                               .channels = i % 2 == 0 ? 1 : 2}));
    files << QString::fromStdString(f);
  }
  fs::create_directories(fs::path(inst.ConfigFile()).parent_path());
  std::ofstream(inst.ConfigFile()) << "[General]\nKeyLockNew=0\nAutoDjMixingTime=20\n";
  TDialogAnswerer answers(QMessageBox::Ok);
  TZondaApp z;
  ASSERT_EQ(z.Start(TStartOptions{}), -1);
  z.MainForm()->Lists().AddFiles(files);
  ASSERT_EQ(z.MainForm()->Lists().View().Shown().RowCount(), 3);
  // The mixing-time buttons: 2.0 s is the lower limit, the read-out and the setting follow.
  TTextAction& mixTime = z.Actions()->Text(z.Actions()->FindTextAction("auto_dj_time"));
  EXPECT_EQ(mixTime.Text(), "2.0");
  ClickSkinButton(z, "autodj_less");
  EXPECT_EQ(mixTime.Text(), "2.0");
  ClickSkinButton(z, "autodj_more");
  EXPECT_EQ(mixTime.Text(), "2.5");
  EXPECT_EQ(z.Config().AutoDjMixingTime, 25);
  ClickSkinButton(z, "autodj_less");
  EXPECT_EQ(mixTime.Text(), "2.0");
  const std::string file = inst.File("autodj.wav");
  ASSERT_TRUE(z.Recorder()->Start(file));
  ClickSkinButton(z, "autodj");
  TSoundSource& a = *z.Deck(0);
  TSoundSource& b = *z.Deck(1);
  ASSERT_TRUE(WaitFor([&] { return a.Playing.load(); }));
  TSliderAction& crossfader = z.Actions()->Slider(z.Actions()->FindSliderAction("crossfader"));
  EXPECT_EQ(crossfader.Value(), 0);
  // Into deck B, then deck A takes the third song and comes back in.
  ASSERT_TRUE(WaitFor([&] { return crossfader.Value() == 127 && b.Playing.load(); }, 30000));
  ASSERT_TRUE(WaitFor([&] { return a.FileName == files[2].toStdString() && a.LoadOk.load(); }, 10000));
  ASSERT_TRUE(WaitFor([&] { return crossfader.Value() == 0 && a.Playing.load(); }, 30000));
  QTest::qWait(1000);
  z.Recorder()->Stop();

  const std::vector<uint8_t> data = ReadAll(file);
  std::vector<int16_t> left, right;
  for (size_t i = 44; i + 3 < data.size(); i += 4) {
    left.push_back(static_cast<int16_t>(data[i] | (data[i + 1] << 8)));
    right.push_back(static_cast<int16_t>(data[i + 2] | (data[i + 3] << 8)));
  }
  // Onsets at any level (a fading kick too): above 0.1 % of full scale.
  auto onsets = [](const std::vector<int16_t>& ch) {
    std::vector<int64_t> out;
    int64_t last = -44100;
    for (size_t i = 0; i < ch.size(); ++i) {
      if (std::abs(int(ch[i])) < 40 || int64_t(i) - last < 8820) continue;
      out.push_back(int64_t(i));
      last = int64_t(i);
    }
    return out;
  };
  const auto l = onsets(left), r = onsets(right);
  ASSERT_FALSE(l.empty());
  ASSERT_FALSE(r.empty());
  const double beat = BeatFramesOf(125.0);
  // Incoming kicks while the outgoing train still sounds (one within half a beat).
  auto worstWhileBoth = [&](const std::vector<int64_t>& in, const std::vector<int64_t>& out, int64_t from, int64_t to) {
    double worst = 0;
    int n = 0;
    for (int64_t t : in) {
      if (t < from || t > to) continue;
      int64_t best = INT64_MAX;
      for (int64_t u : out) best = std::min(best, std::abs(u - t));
      if (best > beat / 2) continue;  // the outgoing train has faded out
      worst = std::max(worst, double(best) / beat);
      ++n;
    }
    return std::make_pair(worst, n);
  };
  const auto first = worstWhileBoth(r, l, 0, r.back());
  const auto second = worstWhileBoth(l, r, r.front() + int64_t(4 * beat), INT64_MAX);
  EXPECT_GE(first.second, 2);
  EXPECT_GE(second.second, 2);
  EXPECT_LT(first.first, 1.0 / 16);
  EXPECT_LT(second.first, 1.0 / 16);
  std::vector<int64_t> all = l;
  all.insert(all.end(), r.begin(), r.end());
  std::sort(all.begin(), all.end());
  int64_t longest = 0;
  for (size_t i = 1; i < all.size(); ++i) longest = std::max(longest, all[i] - all[i - 1]);
  EXPECT_LT(double(longest), 1.5 * BeatFramesOf(122.0));
}

}  // namespace
}  // namespace zonda::test
