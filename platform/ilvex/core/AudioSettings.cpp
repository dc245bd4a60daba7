#include "platform/ilvex/core/AudioSettings.h"

#include <QSettings>
#include <QString>
#include <cstdlib>
#include <cstring>

#include "platform/ilvex/Ilvex.h"

namespace zonda::ilvex {

namespace {

QSettings Store() { return QSettings(QStringLiteral("Quarnet"), QStringLiteral("Zonda")); }

const QString kGroup = QStringLiteral("Ilvex");

bool ParseFrames(const char* text, long long& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  out = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int ClampBlockFrames(long long frames) {
  if (frames < ILVEX_MIN_BLOCK_FRAMES) return ILVEX_MIN_BLOCK_FRAMES;
  if (frames > ILVEX_MAX_BLOCK_FRAMES) return ILVEX_MAX_BLOCK_FRAMES;
  return static_cast<int>(frames);
}

AudioSettings LoadStoredSettings() {
  AudioSettings s;
  QSettings store = Store();
  store.beginGroup(kGroup);
  const QString backend = store.value(QStringLiteral("Backend")).toString().trimmed().toLower();
  s.backend = backend == QStringLiteral("null") ? Backend::Null : Backend::PortAudio;
  s.hostApi = store.value(QStringLiteral("HostApi")).toString().toStdString();
  s.device = store.value(QStringLiteral("Device")).toString().toStdString();
  bool ok = false;
  const long long frames = store.value(QStringLiteral("BlockFrames")).toLongLong(&ok);
  s.blockFrames = ok ? ClampBlockFrames(frames) : ILVEX_DEFAULT_BLOCK_FRAMES;
  store.endGroup();
  return s;
}

void SaveSettings(const AudioSettings& s) {
  QSettings store = Store();
  store.beginGroup(kGroup);
  store.setValue(QStringLiteral("Backend"), s.backend == Backend::Null ? QStringLiteral("null") : QStringLiteral("portaudio"));
  store.setValue(QStringLiteral("HostApi"), QString::fromStdString(s.hostApi));
  store.setValue(QStringLiteral("Device"), QString::fromStdString(s.device));
  store.setValue(QStringLiteral("BlockFrames"), ClampBlockFrames(s.blockFrames));
  store.endGroup();
  store.sync();
}

void ApplyEnvironment(AudioSettings& s) {
  if (const char* audio = std::getenv("ZONDA_AUDIO"); audio != nullptr && *audio != '\0') {
    if (std::strcmp(audio, "null") == 0) {
      s.backend = Backend::Null;
    } else if (std::strcmp(audio, "jack") == 0) {
      s.backend = Backend::PortAudio;
      s.hostApi = kJackHostApiName;
      s.device.clear();
      s.hostApiStrict = true;
    } else if (std::strcmp(audio, "alsa") == 0) {
      s.backend = Backend::PortAudio;
      s.hostApi = kAlsaHostApiName;
      s.device.clear();
      s.hostApiStrict = true;
    } else if (std::strcmp(audio, "portaudio") == 0) {
      s.backend = Backend::PortAudio;
    }
  }
  long long frames = 0;
  if (ParseFrames(std::getenv("ZONDA_AUDIO_BLOCK"), frames)) s.blockFrames = ClampBlockFrames(frames);
}

AudioSettings LoadEffectiveSettings() {
  AudioSettings s = LoadStoredSettings();
  ApplyEnvironment(s);
  return s;
}

}  // namespace zonda::ilvex
