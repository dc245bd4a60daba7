#pragma once
// TEffectBridge: the program's binding to libtorvane.so, the LADSPA effect
// bridge. Load() dlopens ProgramPath("/libtorvane.so") and binds its eight
// exports by name; a library lacking any of them is released again.
//
//   TEffectBridge bridge;
//   switch (bridge.Load()) { case TEffectBridge::Missing: ...; case Incomplete: show kBridgeErrorText; }
//   for (const TDxFilter& f : bridge.EnumerateFilters()) ...
//
// Threads: Load, EnumerateFilters and the property-page calls on the main
// thread; ProcessShortInt on the audio thread (the library promises it takes
// no lock there).
#include <cstdint>
#include <string>
#include <vector>

#include "effects/EffectCatalog.h"
#include "torvane/Torvane.h"

namespace zonda {

inline constexpr const char* kBridgeErrorText = "libtorvane.so ERROR !";

class TEffectBridge {
 public:
  enum LoadResult { Loaded, Missing, Incomplete };

  TEffectBridge() = default;
  ~TEffectBridge();
  TEffectBridge(const TEffectBridge&) = delete;
  TEffectBridge& operator=(const TEffectBridge&) = delete;

  LoadResult Load();                         // the installed library
  LoadResult Load(const std::string& path);  // tests
  void Release();
  bool IsLoaded() const { return handle_ != nullptr; }

  std::vector<TDxFilter> EnumerateFilters() const;
  intptr_t LoadPlugin(void* parent, const std::string& monikerName, int32_t bufferFrames, int32_t sampleRate) const;
  int32_t UnloadPlugin(intptr_t host) const;
  int32_t ProcessShortInt(intptr_t host, int16_t* block, int32_t frames) const noexcept;
  int32_t ShowProperties(intptr_t host) const;
  int32_t HideProperties(intptr_t host) const;
  int32_t ChangeTab(intptr_t host) const;

 private:
  void* handle_ = nullptr;
  TorvaneEnumerateFilters enumerate_ = nullptr;
  TorvaneLoadPlugin load_ = nullptr;
  TorvaneUnloadPlugin unload_ = nullptr;
  TorvaneProcessShortInt processShortInt_ = nullptr;
  TorvaneProcess process_ = nullptr;
  TorvaneShowProperties show_ = nullptr;
  TorvaneHideProperties hide_ = nullptr;
  TorvaneChangeTab changeTab_ = nullptr;
};

// UTF-8 <-> UTF-16 for the bridge's names (invalid bytes become U+FFFD).
std::u16string Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const char16_t* text);

}  // namespace zonda
