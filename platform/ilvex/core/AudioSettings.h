#pragma once
// The audio device library's own settings: which backend, host API, device
// and block size. Kept in the per-user store (QSettings, organisation
// "Quarnet", application "Zonda") under the group "Ilvex", apart from the
// program's keys.
//
//   Backend      "portaudio" (default) or "null"
//   HostApi      PortAudio host API name, e.g. "JACK Audio Connection Kit"; empty = automatic
//   Device       PortAudio device name within that host API; empty = its default
//   BlockFrames  64..2205, default 512
//
// The environment wins over the store, for headless machines and tests:
//   ZONDA_AUDIO=null | jack | alsa | portaudio   (jack/alsa pin the host API strictly)
//   ZONDA_AUDIO_BLOCK=<frames>
//
// Main thread only (init_audio_io and the control panel).
#include <string>

namespace zonda::ilvex {

enum class Backend { PortAudio, Null };

struct AudioSettings {
  Backend backend = Backend::PortAudio;
  std::string hostApi;  // empty: JACK when a server runs, else PortAudio's default
  std::string device;   // empty: the host API's default output device
  int blockFrames = 512;
  bool hostApiStrict = false;  // set by ZONDA_AUDIO=jack|alsa: no fallback to another host API
};

inline constexpr const char* kJackHostApiName = "JACK Audio Connection Kit";
inline constexpr const char* kAlsaHostApiName = "ALSA";

// 64..2205; anything else (0, negative, huge) becomes the nearest bound, and a
// missing value the default 512.
int ClampBlockFrames(long long frames);

// The stored settings, without the environment.
AudioSettings LoadStoredSettings();
void SaveSettings(const AudioSettings& settings);

// LoadStoredSettings() with ZONDA_AUDIO / ZONDA_AUDIO_BLOCK applied.
AudioSettings LoadEffectiveSettings();

// Applies the environment overrides to `settings` (exposed for tests).
void ApplyEnvironment(AudioSettings& settings);

}  // namespace zonda::ilvex
