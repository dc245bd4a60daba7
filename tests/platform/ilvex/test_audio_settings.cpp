#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <cstdlib>
#include <memory>

#include "platform/ilvex/core/AudioSettings.h"
#include "platform/ilvex/core/ControlPanelDialog.h"
#include "tests/platform/ilvex/IsolatedSettings.h"

namespace zonda::ilvex {
namespace {

ZONDA_ISOLATED_SETTINGS();

void StoreRaw(const char* key, const QVariant& value) {
  QSettings s(QStringLiteral("Quarnet"), QStringLiteral("Zonda"));
  s.setValue(QStringLiteral("Ilvex/") + QLatin1String(key), value);
}

void ClearStore() {
  QSettings s(QStringLiteral("Quarnet"), QStringLiteral("Zonda"));
  s.remove(QStringLiteral("Ilvex"));
}

TEST(AudioSettings, RoundTripsThroughTheStoreAndClampsBlockSizes) {
  ClearStore();
  AudioSettings d = LoadStoredSettings();
  EXPECT_EQ(d.backend, Backend::PortAudio);
  EXPECT_EQ(d.blockFrames, 512);
  EXPECT_TRUE(d.hostApi.empty());

  AudioSettings s;
  s.backend = Backend::Null;
  s.hostApi = "ALSA";
  s.device = "hw:1,0";
  s.blockFrames = 441;
  SaveSettings(s);
  AudioSettings r = LoadStoredSettings();
  EXPECT_EQ(r.backend, Backend::Null);
  EXPECT_EQ(r.hostApi, "ALSA");
  EXPECT_EQ(r.device, "hw:1,0");
  EXPECT_EQ(r.blockFrames, 441);

  struct Case {
    QVariant stored;
    int expected;
  } cases[] = {{10, 64}, {-5, 64}, {0, 64}, {64, 64}, {2205, 2205}, {99999999, 2205}, {QStringLiteral("junk"), 512}};
  for (const Case& c : cases) {
    StoreRaw("BlockFrames", c.stored);
    EXPECT_EQ(LoadStoredSettings().blockFrames, c.expected) << c.stored.toString().toStdString();
  }
  StoreRaw("Backend", QStringLiteral("martian"));
  EXPECT_EQ(LoadStoredSettings().backend, Backend::PortAudio);
}

TEST(AudioSettings, EnvironmentOverridesTheStore) {
  AudioSettings base;
  base.hostApi = "ALSA";
  base.device = "hw:0";
  base.blockFrames = 256;
  struct Case {
    const char* audio;
    const char* block;
    Backend backend;
    std::string hostApi;
    bool strict;
    int frames;
  } cases[] = {
      {"null", nullptr, Backend::Null, "ALSA", false, 256},
      {"jack", "128", Backend::PortAudio, kJackHostApiName, true, 128},
      {"alsa", "5000", Backend::PortAudio, kAlsaHostApiName, true, 2205},
      {"portaudio", "abc", Backend::PortAudio, "ALSA", false, 256},
      {"", "", Backend::PortAudio, "ALSA", false, 256},
  };
  for (const Case& c : cases) {
    ::setenv("ZONDA_AUDIO", c.audio, 1);
    if (c.block) ::setenv("ZONDA_AUDIO_BLOCK", c.block, 1); else ::unsetenv("ZONDA_AUDIO_BLOCK");
    AudioSettings s = base;
    ApplyEnvironment(s);
    EXPECT_EQ(s.backend, c.backend) << c.audio;
    EXPECT_EQ(s.hostApi, c.hostApi) << c.audio;
    EXPECT_EQ(s.hostApiStrict, c.strict) << c.audio;
    EXPECT_EQ(s.blockFrames, c.frames) << c.audio;
  }
  ::unsetenv("ZONDA_AUDIO");
  ::unsetenv("ZONDA_AUDIO_BLOCK");
}

std::vector<PaHostApiEntry> Apis() {
  return {
      {0, "ALSA", {{0, "default", 32, 32, true}, {1, "hw:0,0", 2, 2, false}}},
      {2, kJackHostApiName, {{3, "system", 4, 4, true}}},
  };
}

TEST(ControlPanel, ShowsStoredChoiceAndRestartsOnlyOnChange) {
  int argc = 1;
  char arg0[] = "test";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  ClearStore();

  AudioSettings stored;
  stored.hostApi = "ALSA";
  stored.device = "hw:0,0";
  stored.blockFrames = 256;
  int restarts = 0;
  ControlPanelDialog dialog(stored, Apis(), QStringLiteral("ALSA / hw:0,0"), [&] { ++restarts; });
  auto* hostApi = dialog.findChild<QComboBox*>(QStringLiteral("hostApi"));
  auto* device = dialog.findChild<QComboBox*>(QStringLiteral("device"));
  auto* block = dialog.findChild<QComboBox*>(QStringLiteral("blockFrames"));
  ASSERT_TRUE(hostApi && device && block);
  EXPECT_EQ(hostApi->currentText(), QStringLiteral("ALSA"));
  EXPECT_EQ(device->currentData().toString(), QStringLiteral("hw:0,0"));
  EXPECT_EQ(block->currentData().toInt(), 256);
  EXPECT_EQ(hostApi->count(), 4);  // automatic, ALSA, JACK, null

  EXPECT_FALSE(dialog.Apply());
  EXPECT_EQ(restarts, 0);

  hostApi->setCurrentIndex(hostApi->findData(QString::fromLatin1(kJackHostApiName)));
  EXPECT_EQ(device->count(), 2);  // default + system
  device->setCurrentIndex(device->findData(QStringLiteral("system")));
  block->setCurrentIndex(block->findData(128));
  EXPECT_TRUE(dialog.Apply());
  EXPECT_EQ(restarts, 1);
  AudioSettings now = LoadStoredSettings();
  EXPECT_EQ(now.backend, Backend::PortAudio);
  EXPECT_EQ(now.hostApi, kJackHostApiName);
  EXPECT_EQ(now.device, "system");
  EXPECT_EQ(now.blockFrames, 128);
  EXPECT_FALSE(dialog.Apply());

  hostApi->setCurrentIndex(hostApi->count() - 1);  // null device
  EXPECT_FALSE(device->isEnabled());
  EXPECT_TRUE(dialog.Apply());
  EXPECT_EQ(restarts, 2);
  EXPECT_EQ(LoadStoredSettings().backend, Backend::Null);
  EXPECT_EQ(LoadStoredSettings().hostApi, kJackHostApiName) << "the PortAudio choice is kept";

  // A stored host API and device that are absent now stay selectable and unchanged.
  AudioSettings gone;
  gone.hostApi = "OSS";
  gone.device = "/dev/dsp";
  gone.blockFrames = 700;
  ControlPanelDialog again(gone, Apis(), QString(), [&] { ++restarts; });
  EXPECT_EQ(again.Selected().hostApi, "OSS");
  EXPECT_EQ(again.Selected().device, "/dev/dsp");
  EXPECT_EQ(again.Selected().blockFrames, 700);
  EXPECT_FALSE(again.Apply());
}

}  // namespace
}  // namespace zonda::ilvex
