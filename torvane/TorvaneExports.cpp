// The eight C exports of libtorvane.so (see Torvane.h), thin calls into the
// core. A handle is the address of a TLadspaEffectHost; 0 is refused.
#include "torvane/Torvane.h"
#include "torvane/core/LadspaCatalog.h"
#include "torvane/core/LadspaEffectHost.h"
#include "torvane/core/LadspaFolders.h"
#include "torvane/core/LadspaMoniker.h"

#define TORVANE_EXPORT extern "C" __attribute__((visibility("default")))

using zonda::TLadspaEffectHost;

namespace {
TLadspaEffectHost* HostOf(intptr_t host) { return reinterpret_cast<TLadspaEffectHost*>(host); }
}  // namespace

TORVANE_EXPORT int32_t enumeratedirectshowfilters(TorvaneFilterCallback callback) {
  if (!callback) return TORVANE_E_INVALIDARG;
  try {
    for (const zonda::TLadspaPluginEntry& entry : zonda::ListLadspaPlugins(zonda::LadspaFoldersOfEnvironment())) {
      const std::u16string moniker = zonda::ToUtf16(entry.Moniker);
      callback(moniker.c_str(), entry.FriendlyName.c_str());
    }
  } catch (...) {  // nothing may cross the C boundary
    return TORVANE_E_FAIL;
  }
  return 0;
}

TORVANE_EXPORT intptr_t loadplugin(void* parentWindow, const char16_t* monikerDisplayName, int32_t bufferFrames,
                                   int32_t sampleRate) {
  try {
    auto host = TLadspaEffectHost::Load(parentWindow, zonda::FromUtf16(monikerDisplayName), bufferFrames, sampleRate);
    return reinterpret_cast<intptr_t>(host.release());
  } catch (...) {  // nothing may cross the C boundary
    return 0;
  }
}

TORVANE_EXPORT int32_t unloadplugin(intptr_t host) {
  delete HostOf(host);
  return 0;
}

TORVANE_EXPORT int32_t processshortint(intptr_t host, int16_t* stereoInterleaved, int32_t frames) {
  if (!host) return TORVANE_E_FAIL;
  return HostOf(host)->ProcessShortInt(stereoInterleaved, frames);
}

TORVANE_EXPORT int32_t process(intptr_t host, float* stereoInterleaved, int32_t frames) {
  if (!host) return TORVANE_E_FAIL;
  return HostOf(host)->Process(stereoInterleaved, frames);
}

TORVANE_EXPORT int32_t showpluginproperties(intptr_t host) {
  if (!host) return TORVANE_E_FAIL;
  return HostOf(host)->ShowProperties();
}

TORVANE_EXPORT int32_t hidepluginproperties(intptr_t host) {
  if (!host) return TORVANE_E_FAIL;
  return HostOf(host)->HideProperties();
}

TORVANE_EXPORT int32_t changeplugintab(intptr_t host) {
  if (!host) return TORVANE_E_FAIL;
  return HostOf(host)->ChangeTab();
}
