// The configuration window in the real program (offscreen, null device):
// opened from the skin's menu button, its controls driven with key and mouse
// events change the settings and the engine at once, Defaults resets, the
// frame cannot close it, OK saves, and a restart shows what was saved.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>

#include "app/ConfigurationDialog.h"
#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "decoding/SoxrConversion.h"
#include "engine/SoundSource.h"
#include "skin/ActionTables.h"
#include "tests/app/ProgramTestSupport.h"

namespace zonda::test {
namespace {


void Tick(QCheckBox* box) {
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Moves a slider with the keyboard to value.
void KeyTo(QSlider* s, int value) {
  ASSERT_NE(s, nullptr);
  s->setFocus();
  while (s->value() < value) QTest::keyClick(s, Qt::Key_Right);
  while (s->value() > value) QTest::keyClick(s, Qt::Key_Left);
}

int SliderAction(TZondaApp& z, const char* name, bool maximum) {
  TActionTables& t = *z.Actions();
  const TSliderAction& s = t.Slider(t.FindSliderAction(name));
  return maximum ? s.Maximum() : s.Minimum();
}

TEST(Configuration, ControlsApplyAtOnceDefaultsResetOkSaves) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  {
    TZondaApp z;
    ASSERT_EQ(z.Start({}), -1);
    TConfiguration& cfg = *z.Configuration();
    ClickSkinButton(z, "menu");
    ASSERT_TRUE(WaitFor([&] { return cfg.isVisible(); }));
    EXPECT_FALSE(z.MainForm()->isEnabled()) << "the main window waits for OK";

    // Pitch range 4: the pitch sliders reach +/-24 %.
    KeyTo(cfg.Slider("pitch_range"), 4);
    EXPECT_EQ(SliderAction(z, "decka_pitch", true), 2400);
    EXPECT_EQ(SliderAction(z, "deckb_pitch", false), -2400);
    EXPECT_EQ(cfg.Label("pitch_range_cap")->text(), "24 %");

    // The cut-off mode: its own position changes nothing, another sets the knobs.
    TActionTables& t = *z.Actions();
    TSliderAction& cutA = t.Slider(t.FindSliderAction("decka_cutoff_filter"));
    cutA.SetValue(20);
    KeyTo(cfg.Slider("CutoffModeTrackBar"), 0);
    EXPECT_EQ(cutA.Value(), 20);
    KeyTo(cfg.Slider("CutoffModeTrackBar"), 1);
    EXPECT_EQ(cutA.Value(), -64);
    EXPECT_EQ(cfg.Label("CutoffModeLabel")->text(), "HighPass");

    // The two CUE logics exclude each other; the decks follow.
    Tick(cfg.Check("AlternateCueLogic1"));
    EXPECT_EQ(z.Deck(0)->CueLogic.load(), 1);
    Tick(cfg.Check("AlternateCueLogic2"));
    EXPECT_FALSE(cfg.Check("AlternateCueLogic1")->isChecked());
    EXPECT_EQ(z.Deck(0)->CueLogic.load(), 2);
    EXPECT_EQ(z.Deck(1)->CueLogic.load(), 2);

    // Master tempo off: both decks lose key lock.
    ASSERT_TRUE(cfg.Check("master_tempo")->isChecked());
    Tick(cfg.Check("master_tempo"));
    EXPECT_FALSE(z.Deck(0)->KeyLock.load());
    EXPECT_FALSE(z.Deck(1)->KeyLock.load());

    KeyTo(cfg.Slider("CrossFaderCurveTrackBar"), 70);
    EXPECT_EQ(z.Config().CrossFaderCurve, 70);
    KeyTo(cfg.Slider("AutoDJTimeTrackBar"), 4);
    EXPECT_EQ(cfg.Label("AutoDJTimeLabel")->text(), "4 seconds");
    EXPECT_EQ(t.Text(t.FindTextAction("auto_dj_time")).Text(), "4.0");

    // ZONDA_SCREENSHOT_DIR: pictures of both pages for the README.
    if (const char* shots = std::getenv("ZONDA_SCREENSHOT_DIR")) {
      auto* pages = cfg.findChild<QTabWidget*>("CfgPageControl");
      for (int page : {0, 1}) {
        pages->setCurrentIndex(page);
        QTest::qWait(50);
        cfg.grab().save(QString(shots) + (page == 0 ? "/config-general.png" : "/config-midi.png"));
      }
      pages->setCurrentIndex(0);
    }
    // The frame cannot close it while the program runs.
    cfg.close();
    EXPECT_TRUE(cfg.isVisible());

    // OK: saved, hidden, the main window usable again.
    QTest::mouseClick(cfg.findChild<QPushButton*>("OK"), Qt::LeftButton);
    EXPECT_FALSE(cfg.isVisible());
    EXPECT_TRUE(z.MainForm()->isEnabled());
    const std::string saved = inst.Settings();
    for (const char* line : {"PitchRange=4", "CutoffFilterMode=1", "AlternateCueLogic2=1", "KeyLockNew=0",
                             "CrossFaderCurve=70", "AutoDjMixingTime=40"})
      EXPECT_NE(saved.find(line), std::string::npos) << line;

    // Defaults: back to 16 %, curve 50, 10 s, cut-off mode 0 (knobs neutral), key lock on.
    ClickSkinButton(z, "menu");
    QTest::mouseClick(cfg.findChild<QPushButton*>("SET_DEFAULTS"), Qt::LeftButton);
    EXPECT_EQ(z.Config().CrossFaderCurve, 50);
    EXPECT_EQ(z.Config().AutoDjMixingTime, 100);
    EXPECT_EQ(cfg.Slider("pitch_range")->value(), 3);
    EXPECT_EQ(SliderAction(z, "decka_pitch", true), 1600);
    EXPECT_EQ(cutA.Value(), 0);
    EXPECT_TRUE(z.Deck(0)->KeyLock.load());
    EXPECT_EQ(z.Deck(0)->CueLogic.load(), 0);
    EXPECT_EQ(cfg.Label("AutoDJTimeLabel")->text(), "10 seconds");
    // Left without OK: the restart below shows what OK saved.
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
  }
  {
    TZondaApp z;
    ASSERT_EQ(z.Start({}), -1);
    // Closing saved the Defaults; the window shows the stored values.
    EXPECT_EQ(z.Configuration()->Slider("pitch_range")->value(), 3);
    EXPECT_EQ(z.Configuration()->Slider("CrossFaderCurveTrackBar")->value(), 50);
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
  }
}

TEST(Configuration, SoundQualityChoicesApplyAndComeBack) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  {
    TZondaApp z;
    ASSERT_EQ(z.Start({}), -1);
    TConfiguration& cfg = *z.Configuration();
    ClickSkinButton(z, "menu");
    ASSERT_TRUE(WaitFor([&] { return cfg.isVisible(); }));
    // The built-in ones by default.
    QComboBox* engine = cfg.Combo("KeyLockEngineCombo");
    QComboBox* converter = cfg.Combo("SampleRateConverterCombo");
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(engine->currentIndex(), 0);
    EXPECT_EQ(converter->currentIndex(), 0);
    EXPECT_EQ(z.Deck(0)->GetKeyLockEngine(), TKeyLockEngine::Splice);
    EXPECT_EQ(DeckResampler(), TResampler::Linear);
    // Chosen with the keyboard: both decks and the decoder front follow at once.
    engine->setFocus();
    QTest::keyClick(engine, Qt::Key_Down);
    EXPECT_EQ(z.Deck(0)->GetKeyLockEngine(), TKeyLockEngine::RubberBand);
    EXPECT_EQ(z.Deck(1)->GetKeyLockEngine(), TKeyLockEngine::RubberBand);
    EXPECT_GT(z.Deck(0)->RubberBandLatency(TKeyLockEngine::RubberBand), 0);
    converter->setFocus();
    QTest::keyClick(converter, Qt::Key_Down);
    EXPECT_EQ(DeckResampler(), TResampler::Soxr);
    QTest::mouseClick(cfg.findChild<QPushButton*>("OK"), Qt::LeftButton);
    const std::string saved = inst.Settings();
    for (const char* line : {"KeyLockEngine=1", "SampleRateConverter=1"})
      EXPECT_NE(saved.find(line), std::string::npos) << line;
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
  }
  {
    TZondaApp z;
    ASSERT_EQ(z.Start({}), -1);
    TConfiguration& cfg = *z.Configuration();
    EXPECT_EQ(cfg.Combo("KeyLockEngineCombo")->currentIndex(), 1);
    EXPECT_EQ(cfg.Combo("SampleRateConverterCombo")->currentIndex(), 1);
    EXPECT_EQ(z.Deck(1)->GetKeyLockEngine(), TKeyLockEngine::RubberBand);
    EXPECT_EQ(DeckResampler(), TResampler::Soxr);
    // Defaults: the built-in ones again.
    ClickSkinButton(z, "menu");
    QTest::mouseClick(cfg.findChild<QPushButton*>("SET_DEFAULTS"), Qt::LeftButton);
    EXPECT_EQ(cfg.Combo("KeyLockEngineCombo")->currentIndex(), 0);
    EXPECT_EQ(z.Deck(0)->GetKeyLockEngine(), TKeyLockEngine::Splice);
    EXPECT_EQ(DeckResampler(), TResampler::Linear);
    z.MainForm()->ClosingConfirmed = true;
    z.MainForm()->close();
  }
}

TEST(Configuration, LearnModeAssignsPressedKeysToTheSelectedRow) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  TZondaApp z;
  ASSERT_EQ(z.Start({}), -1);
  TConfiguration& cfg = *z.Configuration();
  ClickSkinButton(z, "menu");
  auto* pages = cfg.findChild<QTabWidget*>("CfgPageControl");
  ASSERT_NE(pages, nullptr);
  QTabBar* bar = pages->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  ASSERT_EQ(pages->currentIndex(), 1);
  QTest::qWait(50);  // the page lays its table out
  auto* table = cfg.findChild<QTableWidget*>("ActionsShortcutsList");
  ASSERT_NE(table, nullptr);
  TActionTables& t = *z.Actions();
  const int sliders = int(t.Sliders().size());
  const int play = t.FindButtonAction("deckb_play_pause");
  const int pitch = t.FindSliderAction("decka_pitch");
  auto select = [&](int row) {
    table->scrollToItem(table->item(row, 0));
    const QRect r = table->visualItemRect(table->item(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(table->currentRow(), row);
  };
  QTest::mouseClick(cfg.findChild<QPushButton*>("LearnButton"), Qt::LeftButton);
  ASSERT_TRUE(cfg.Learning());
  EXPECT_TRUE(cfg.Label("WaitingLabel")->isVisible());

  // A button row: Ctrl alone assigns nothing, Ctrl + A does.
  select(sliders + play);
  QTest::keyClick(table, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(t.Button(play).Key, 0);
  QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(t.Button(play).Key, 65);
  EXPECT_EQ(t.Button(play).KeyModifiers, TButtonAction::kCtrl);
  EXPECT_EQ(table->item(sliders + play, 1)->text(), "Ctrl + A");
  EXPECT_EQ(t.Button(play).ShortcutText(), "<Ctrl + A>");

  // A slider row: decrease, then increase; a third key starts over.
  select(pitch);
  QTest::keyClick(table, Qt::Key_Z);
  QTest::keyClick(table, Qt::Key_X);
  EXPECT_EQ(t.Slider(pitch).DecreaseKey, 'Z');
  EXPECT_EQ(t.Slider(pitch).IncreaseKey, 'X');
  EXPECT_EQ(table->item(pitch, 1)->text(), "Z, X");
  QTest::keyClick(table, Qt::Key_C);
  EXPECT_EQ(t.Slider(pitch).DecreaseKey, 'C');
  EXPECT_EQ(t.Slider(pitch).IncreaseKey, 0);

  // MIDI in learn mode: a note to a button row, a controller to a slider row.
  select(sliders + play);
  cfg.LearnMidi(0x80 | 2, 61, 0);  // a note off assigns nothing
  EXPECT_EQ(t.Button(play).MidiNote, -1);
  cfg.LearnMidi(0x90 | 2, 61, 100);
  EXPECT_EQ(t.Button(play).MidiChannel, 2);
  EXPECT_EQ(t.Button(play).MidiNote, 61);
  select(pitch);
  cfg.LearnMidi(0xB0 | 5, 21, 64);
  EXPECT_EQ(t.Slider(pitch).MidiChannel, 5);
  EXPECT_EQ(t.Slider(pitch).MidiController, 21);

  // OK ends learn mode and saves the shortcuts file.
  QTest::mouseClick(cfg.findChild<QPushButton*>("OK"), Qt::LeftButton);
  EXPECT_FALSE(cfg.Learning());
  const std::vector<uint8_t> file = ReadAll(inst.Tree() + "/shortcuts/lastest_shortcuts.xml");
  EXPECT_NE(std::string(file.begin(), file.end()).find("action=\"deckb_play_pause\" key=\"65\" ctrl=\"yes\""),
            std::string::npos);
  z.MainForm()->ClosingConfirmed = true;
  z.MainForm()->close();
}

}  // namespace
}  // namespace zonda::test
