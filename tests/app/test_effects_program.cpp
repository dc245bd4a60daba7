// The effect slots in the real program: a native effect loaded from the
// slot's menu with mouse clicks on the skin, switched on and blended with the
// dry/wet knob (heard in the master), its editor opened, and the slot
// reopened with the same effect, switched off, after a restart.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QMenu>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <filesystem>

#include "app/MainFormEffects.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"
#include "tests/app/ProgramTestSupport.h"

namespace zonda::test {
namespace {

namespace fs = std::filesystem;

std::string FixtureEffect() {
  const char* bin = std::getenv("ZONDA_TEST_BIN");
  return std::string(bin != nullptr ? bin : ".") + "/tests/fx/fixture_fx_good.so";
}

double MasterRmsDb(TZondaApp& z, const std::string& file) {
  EXPECT_TRUE(z.Recorder()->Start(file));
  EXPECT_TRUE(WaitFor([&] { return z.Recorder()->RecordedBytes() >= 44100 * 4 / 2; }, 60000));
  z.Recorder()->Stop();
  const std::vector<uint8_t> data = ReadAll(file);
  // The last quarter second: the first part may still hold the fade.
  const size_t frames = data.size() > 44 ? (data.size() - 44) / 4 : 0;
  double sum = 0;
  size_t n = 0;
  for (size_t f = frames > 11025 ? frames - 11025 : 0; f < frames; ++f, ++n) {
    int16_t s;
    std::memcpy(&s, data.data() + 44 + f * 4, 2);
    sum += double(s) * s;
  }
  return n == 0 ? 0.0 : 20 * std::log10(std::sqrt(sum / double(n)) / 32768.0 + 1e-9);
}

int64_t FixtureEdits(TEffectPlugin& slot) {
  void* lib = dlopen(slot.Ident().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (lib == nullptr) return -1;
  auto fn = reinterpret_cast<int64_t (*)(intptr_t)>(dlsym(lib, "fixture_edits"));
  const int64_t n = fn(slot.Instance());
  dlclose(lib);
  return n;
}

TEST(EffectsProgram, ASlotLoadsFromItsMenuPlaysAndComesBackAfterARestart) {
  App();
  setenv("ZONDA_AUDIO", "null", 1);
  TInstallation inst;
  const std::string track = inst.File("a.wav");
  WriteDeckWav(track, SineStereo(44100 * 30, 1000, 1000, 0.5));
  const std::string effect = inst.Tree() + "/effects/fixture_fx_good.so";
  fs::copy_file(FixtureEffect(), effect);
  {
    TZondaApp z;
    TStartOptions options;
    options.DeckAFile = track;
    ASSERT_EQ(z.Start(options), -1);
    ASSERT_TRUE(WaitFor([&] { return z.Deck(0)->LoadOk.load(); }));
    TMainFormEffects& fx = *z.Effects();
    TActionTables& t = *z.Actions();
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name1")).Text(), "[ load FX ]");

    // The LOAD button opens the slot's menu; "Load native plugin" asks for the file.
    fx.ChooseNativeFile = [&] { return effect; };
    ClickSkinButton(z, "decka_fx_load1");
    ASSERT_TRUE(WaitFor([&] { return fx.PluginPopupMenu().isVisible(); }, 5000));
    EXPECT_EQ(fx.MenuSlot(), 1);
    QAction* native = fx.PluginPopupMenu().findChild<QAction*>("Loadnativeplugin1");
    ASSERT_NE(native, nullptr);
    native->trigger();
    fx.PluginPopupMenu().hide();
    TEffectPlugin& slot = fx.Slots().Slot(1);
    ASSERT_FALSE(slot.Empty());
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name1")).Text(), "Fixture Inverter");

    ClickSkinButton(z, "decka_play_pause");
    const double dry = MasterRmsDb(z, inst.File("dry.wav"));
    EXPECT_GT(dry, -20);
    // Switched on at half dry, half wet, the inverter cancels the deck.
    t.Slider(t.FindSliderAction("decka_fx_mix1")).SetValue(50);
    ClickSkinButton(z, "decka_fx_on1");
    EXPECT_TRUE(slot.Active());
    EXPECT_LT(MasterRmsDb(z, inst.File("half.wav")), dry - 60);
    // Fully wet: inverted, as loud as dry.
    t.Slider(t.FindSliderAction("decka_fx_mix1")).SetValue(100);
    EXPECT_NEAR(MasterRmsDb(z, inst.File("wet.wav")), dry, 0.5);

    ClickSkinButton(z, "decka_fx_edit1");
    EXPECT_EQ(FixtureEdits(slot), 1);
    // A LADSPA effect from the menu: its property pages open in the "Edit Plugin"
    // window, which disables the main window until Escape closes it.
    int dx = -1;
    for (size_t i = 0; i < fx.Slots().DxList().size(); ++i)
      if (FullPluginName(fx.Slots().DxList()[i]) == "Simple Low Pass Filter") dx = int(i);
    ASSERT_GE(dx, 0) << "cmt's LADSPA plug-ins are not installed";
    QMenu* ladspaMenu = nullptr;
    QMenu* lv2Menu = nullptr;
    for (QAction* a : fx.PluginPopupMenu().actions()) {
      if (a->menu() != nullptr && a->text() == "Load LADSPA plugin") ladspaMenu = a->menu();
      if (a->menu() != nullptr && a->text() == "Load LV2 plugin") lv2Menu = a->menu();
    }
    ASSERT_NE(ladspaMenu, nullptr);
    EXPECT_TRUE(ladspaMenu->isEnabled());
    // The LV2 list was made when the menu first opened.
    ASSERT_NE(lv2Menu, nullptr);
    EXPECT_FALSE(fx.Slots().VstList().empty());
    EXPECT_FALSE(lv2Menu->actions().isEmpty());
    QAction* lowPass = nullptr;
    for (QAction* group : ladspaMenu->actions())
      if (group->menu() != nullptr && group->text() == "Simple")
        for (QAction* item : group->menu()->actions())
          if (item->text() == "Low Pass Filter") lowPass = item;
    ASSERT_NE(lowPass, nullptr) << "no Simple > Low Pass Filter in the LADSPA menu";
    ClickSkinButton(z, "decka_fx_load2");
    ASSERT_EQ(fx.MenuSlot(), 2);
    lowPass->trigger();
    fx.PluginPopupMenu().hide();
    TEffectPlugin& slot2 = fx.Slots().Slot(2);
    EXPECT_EQ(slot2.Kind(), TEffectKind::Ladspa);
    EXPECT_EQ(slot2.Ident(), "*" + std::to_string(dx));
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name2")).Text(), "Low Pass Filter");
    ClickSkinButton(z, "decka_fx_edit2");
    TEditPluginForm& editor = fx.EditPluginForm();
    ASSERT_TRUE(WaitFor([&] { return editor.isVisible(); }, 5000));
    EXPECT_TRUE(slot2.EditorOpen());
    EXPECT_FALSE(z.MainForm()->isEnabled());
    EXPECT_NE(editor.findChild<QSlider*>(), nullptr) << "no generated control in the pages";
    if (const char* dir = std::getenv("ZONDA_SCREENSHOT_DIR")) editor.grab().save(QString(dir) + "/edit-plugin.png");
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_FALSE(slot2.EditorOpen());
    EXPECT_TRUE(z.MainForm()->isEnabled());

    // Loading into the switched-on slot leaves it off with its button released.
    fx.LoadFXinBank(1, effect);
    EXPECT_FALSE(slot.Active());
    EXPECT_FALSE(t.Button(t.FindButtonAction("decka_fx_on1")).Selected());
    EXPECT_EQ(z.Effects()->Slots().Slot(2).Kind(), TEffectKind::Ladspa);
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name2")).Text(), "Low Pass Filter");
    z.FormClose();
  }
  EXPECT_NE(inst.Settings().find("PluginFileName1=" + effect), std::string::npos) << inst.Settings();
  EXPECT_NE(inst.Settings().find("PluginFileName2=*"), std::string::npos);
  EXPECT_NE(inst.Settings().find("PluginFileName3=-"), std::string::npos);
  {
    TZondaApp z;
    ASSERT_EQ(z.Start({}), -1);
    TEffectPlugin& slot = z.Effects()->Slots().Slot(1);
    EXPECT_EQ(slot.Ident(), effect);
    EXPECT_FALSE(slot.Active());
    TActionTables& t = *z.Actions();
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name1")).Text(), "Fixture Inverter");
    EXPECT_FALSE(t.Button(t.FindButtonAction("decka_fx_on1")).Selected());
    EXPECT_EQ(z.Effects()->Slots().Slot(2).Kind(), TEffectKind::Ladspa);
    EXPECT_EQ(t.Text(t.FindTextAction("decka_fx_name2")).Text(), "Low Pass Filter");
    z.FormClose();
  }
}

}  // namespace
}  // namespace zonda::test
