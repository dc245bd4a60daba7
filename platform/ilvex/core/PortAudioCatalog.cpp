#include "platform/ilvex/core/PortAudioCatalog.h"

#include <alsa/asoundlib.h>
#include <pa_jack.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace zonda::ilvex {

std::string JackClientName() {
  const char* name = std::getenv("ZONDA_JACK_CLIENT");
  return name != nullptr && *name != '\0' ? name : "zonda";
}

namespace {

// PortAudio probes every ALSA card and plug-in at start-up; on machines
// without sound hardware libasound would print a screenful of errors each
// time. Failures still reach us through PortAudio's own results.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::atomic<bool> g_jackAbandoned{false};

}  // namespace

void MarkJackAbandoned() { g_jackAbandoned.store(true); }
bool JackAbandoned() { return g_jackAbandoned.load(); }

PortAudioSession::PortAudioSession() {
  snd_lib_error_set_handler(&QuietAlsa);
  // PortAudio keeps the pointer; the string must outlive the session.
  static std::string clientName;
  clientName = JackClientName();
  PaJack_SetClientName(clientName.c_str());
  ok_ = Pa_Initialize() == paNoError;
}

PortAudioSession::~PortAudioSession() {
  if (ok_) Pa_Terminate();
}

std::vector<PaHostApiEntry> ListHostApis() {
  std::vector<PaHostApiEntry> apis;
  const int count = Pa_GetHostApiCount();
  for (int a = 0; a < count; ++a) {
    const PaHostApiInfo* info = Pa_GetHostApiInfo(a);
    if (info == nullptr) continue;
    PaHostApiEntry api;
    api.index = a;
    api.name = info->name != nullptr ? info->name : "";
    for (int d = 0; d < info->deviceCount; ++d) {
      const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(a, d);
      const PaDeviceInfo* di = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
      if (di == nullptr || di->maxOutputChannels < 1) continue;
      api.devices.push_back(PaDeviceEntry{device, di->name != nullptr ? di->name : "", di->maxInputChannels,
                                          di->maxOutputChannels, device == info->defaultOutputDevice});
    }
    apis.push_back(std::move(api));
  }
  return apis;
}

std::vector<PaDeviceEntry> DeviceCandidates(const AudioSettings& settings) {
  const std::vector<PaHostApiEntry> apis = ListHostApis();
  std::vector<const PaHostApiEntry*> order;
  auto add = [&](const PaHostApiEntry* api) {
    if (api != nullptr && std::find(order.begin(), order.end(), api) == order.end()) order.push_back(api);
  };
  auto byName = [&](const std::string& name) -> const PaHostApiEntry* {
    for (const PaHostApiEntry& api : apis)
      if (api.name == name) return &api;
    return nullptr;
  };
  if (!settings.hostApi.empty()) add(byName(settings.hostApi));
  if (!settings.hostApiStrict) {
    add(byName(kJackHostApiName));
    const PaHostApiIndex def = Pa_GetDefaultHostApi();
    for (const PaHostApiEntry& api : apis)
      if (api.index == def) add(&api);
    for (const PaHostApiEntry& api : apis) add(&api);
  }

  std::vector<PaDeviceEntry> candidates;
  for (const PaHostApiEntry* api : order) {
    if (api->devices.empty()) continue;
    if (api->name == kJackHostApiName && JackAbandoned()) continue;
    // The chosen device, else the default one (else the first): never a
    // surprise device such as an HDMI output when the chosen one is missing.
    const PaDeviceEntry* pick = &api->devices.front();
    for (const PaDeviceEntry& d : api->devices)
      if (d.isDefault) pick = &d;
    if (api->name == settings.hostApi && !settings.device.empty())
      for (const PaDeviceEntry& d : api->devices)
        if (d.name == settings.device) pick = &d;
    candidates.push_back(*pick);
  }
  return candidates;
}

}  // namespace zonda::ilvex
