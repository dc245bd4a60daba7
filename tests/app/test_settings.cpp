// The settings store on a private XDG_CONFIG_HOME: defaults created on a first
// run, the first-failure rule, key paths with a root name, and a save/read
// round trip of every key.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/ConfigValues.h"
#include "app/RegQZ.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {
namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1); }
  std::unique_ptr<TRegQZ> Open() {
    auto reg = std::make_unique<TRegQZ>();
    reg->CreateKeys = 1;
    reg->SetRootKind(2);
    reg->SetKeyPath("\\Software\\Quarnet\\Zonda");
    return reg;
  }
  std::string IniFile() const { return dir_.file("Quarnet/Zonda.conf"); }
  TempDir dir_;
};

TEST_F(Settings, FirstRunCreatesEveryKeyWithItsDefault) {
  auto reg = Open();
  EXPECT_EQ(reg->Failed, 0);
  EXPECT_EQ(reg->FileName(), IniFile());
  TConfigValues cfg;
  cfg.Read(*reg);
  reg.reset();
  QSettings ini(QString::fromStdString(IniFile()), QSettings::IniFormat);
  EXPECT_EQ(ini.value("PitchRange").toInt(), 3);
  EXPECT_EQ(ini.value("CrossFaderCurve").toInt(), 50);
  EXPECT_EQ(ini.value("KeyLockNew").toInt(), 1);
  EXPECT_EQ(ini.value("Random").toInt(), 0);
  EXPECT_EQ(ini.value("AssignKnobC").toString(), "deckb_fx_mix1");
  EXPECT_EQ(ini.value("AssignButtD").toString(), "deckb_fx_on2");
  EXPECT_EQ(ini.value("PluginFileName8").toString(), "-");
  EXPECT_EQ(ini.value("SkinNumber").toInt(), -1);
  EXPECT_EQ(ini.value("MidiInputPort").toString(), "");
  // The sound quality settings: the built-in engine and converter.
  EXPECT_EQ(ini.value("KeyLockEngine").toInt(), 0);
  EXPECT_EQ(ini.value("SampleRateConverter").toInt(), 0);
  EXPECT_EQ(ini.allKeys().size(), 5 + 13 + 8 + 8 + 3 + 2 + 2);
}

TEST_F(Settings, SavedValuesComeBack) {
  TConfigValues cfg;
  cfg.PitchRange = 4;
  cfg.AlternateCueLogic2 = true;
  cfg.KeyLockNew = false;
  cfg.AssignKnob[1] = "";
  cfg.PluginFileName[3] = "/usr/lib/ladspa/x.so";
  cfg.SkinNumber = 1;
  cfg.AutoDj = true;
  cfg.KeyLockEngine = 2;
  cfg.SampleRateConverter = 1;
  Open()->SetKeyPath("\\Software\\Quarnet\\Zonda");
  {
    auto reg = Open();
    cfg.Write(*reg, 3);
  }
  auto reg = Open();
  TConfigValues back;
  back.Read(*reg);
  EXPECT_EQ(reg->Failed, 0);
  EXPECT_EQ(back.PitchRange, 4);
  EXPECT_TRUE(back.AlternateCueLogic2);
  EXPECT_EQ(back.CueLogic(), 2);
  EXPECT_FALSE(back.KeyLockNew);
  EXPECT_EQ(back.AssignKnob[1], "");
  EXPECT_EQ(back.PluginFileName[3], "/usr/lib/ladspa/x.so");
  EXPECT_EQ(back.SkinNumber, 1);
  EXPECT_TRUE(back.AutoDj);
  EXPECT_EQ(back.KeyLockEngine, 2);
  EXPECT_EQ(back.SampleRateConverter, 1);
  EXPECT_EQ(reg->ReadInteger("LastListSelected", 0), 3);
  EXPECT_EQ(reg->ReadInteger("MinorVersion", 0), 2);
}

TEST_F(Settings, AWrongTypeFailsOnceAndNothingIsWrittenAfterwards) {
  std::filesystem::create_directories(dir_.path() / "Quarnet");
  std::ofstream(IniFile()) << "[General]\nPitchRange=three\nBendRange=5\n";
  auto reg = Open();
  TConfigValues cfg;
  cfg.Read(*reg);
  EXPECT_EQ(reg->Failed, 1);
  EXPECT_EQ(cfg.PitchRange, 3);
  EXPECT_EQ(cfg.BendRange, 2);  // every read after the failure gives its default
  cfg.SkinNumber = 7;
  cfg.Write(*reg, 0);
  reg.reset();
  QSettings ini(QString::fromStdString(IniFile()), QSettings::IniFormat);
  EXPECT_EQ(ini.value("PitchRange").toString(), "three");
  EXPECT_FALSE(ini.contains("SkinNumber"));
  EXPECT_FALSE(ini.contains("MajorVersion"));
}

TEST_F(Settings, AnUnwritableStoreFailsAtOpen) {
  // The configuration folder is a file: nothing can be created below it.
  const std::string blocker = dir_.file("blocked");
  std::ofstream(blocker) << "x";
  setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
  auto reg = Open();
  EXPECT_EQ(reg->Failed, 1);
  EXPECT_EQ(reg->ReadInteger("PitchRange", 3), 3);
  reg->WriteInteger("PitchRange", 4);
  EXPECT_EQ(reg->ReadInteger("PitchRange", 3), 3);
}

TEST_F(Settings, RootNamesInTheKeyPath) {
  TRegQZ reg;
  EXPECT_EQ(reg.RootKind, 3);
  reg.SetRootKind(9);  // ignored
  EXPECT_EQ(reg.RootKind, 3);
  reg.SetKeyPath("HKEY_CURRENT_USER\\Software\\Quarnet\\Zonda\\Sub");
  EXPECT_EQ(reg.RootKind, 2);
  EXPECT_EQ(reg.KeyPath, "\\Software\\Quarnet\\Zonda\\Sub");
  EXPECT_EQ(reg.Failed, 0);
  reg.WriteInteger("X", 5);
  EXPECT_EQ(reg.ReadInteger("X", 0), 5);
  reg.CreateKeys = 0;  // read only: nothing is created in the system folders
  reg.SetKeyPath("HKEY_LOCAL_MACHINE\\Software\\Quarnet\\Zonda");
  EXPECT_EQ(reg.RootKind, 3);
  EXPECT_EQ(reg.KeyPath, "\\Software\\Quarnet\\Zonda");
  QSettings ini(QString::fromStdString(IniFile()), QSettings::IniFormat);
  EXPECT_EQ(ini.value("Sub/X").toInt(), 5);
}

TEST(PitchRange, SelectorPositions) {
  EXPECT_EQ(TConfigValues::PitchRangePermyriad(1), 400);
  EXPECT_EQ(TConfigValues::PitchRangePermyriad(3), 1600);
  EXPECT_EQ(TConfigValues::PitchRangePermyriad(4), 2400);
  EXPECT_EQ(TConfigValues::PitchRangePermyriad(0), 100);
  EXPECT_EQ(TConfigValues::NeutralCutoff(-1), 63);
  EXPECT_EQ(TConfigValues::NeutralCutoff(1), -64);
}

}  // namespace
}  // namespace zonda::test
