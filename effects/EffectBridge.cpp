#include "effects/EffectBridge.h"

#include <dlfcn.h>

#include "platform/ProgramDir.h"

namespace zonda {

namespace {

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(handle, name));
  return slot != nullptr;
}

// The enumeration callback has no user argument: one enumeration at a time.
thread_local std::vector<TDxFilter>* gFilters = nullptr;

void CollectFilter(const char16_t* moniker, const char* friendlyName) {
  if (gFilters == nullptr || moniker == nullptr) return;
  gFilters->push_back({Utf8FromUtf16(moniker), friendlyName != nullptr ? friendlyName : ""});
}

}  // namespace

TEffectBridge::~TEffectBridge() { Release(); }

TEffectBridge::LoadResult TEffectBridge::Load() { return Load(ProgramPath("/libtorvane.so")); }

TEffectBridge::LoadResult TEffectBridge::Load(const std::string& path) {
  Release();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) return Missing;
  bool all = true;
  all &= Bind(handle_, "enumeratedirectshowfilters", enumerate_);
  all &= Bind(handle_, "loadplugin", load_);
  all &= Bind(handle_, "unloadplugin", unload_);
  all &= Bind(handle_, "processshortint", processShortInt_);
  all &= Bind(handle_, "process", process_);
  all &= Bind(handle_, "showpluginproperties", show_);
  all &= Bind(handle_, "hidepluginproperties", hide_);
  all &= Bind(handle_, "changeplugintab", changeTab_);
  if (!all) {
    Release();
    return Incomplete;
  }
  return Loaded;
}

void TEffectBridge::Release() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  enumerate_ = nullptr;
  load_ = nullptr;
  unload_ = nullptr;
  processShortInt_ = nullptr;
  process_ = nullptr;
  show_ = nullptr;
  hide_ = nullptr;
  changeTab_ = nullptr;
}

std::vector<TDxFilter> TEffectBridge::EnumerateFilters() const {
  std::vector<TDxFilter> filters;
  if (enumerate_ == nullptr) return filters;
  gFilters = &filters;
  enumerate_(&CollectFilter);
  gFilters = nullptr;
  return filters;
}

intptr_t TEffectBridge::LoadPlugin(void* parent, const std::string& monikerName, int32_t bufferFrames,
                                   int32_t sampleRate) const {
  if (load_ == nullptr) return 0;
  const std::u16string name = Utf16FromUtf8(monikerName);
  return load_(parent, name.c_str(), bufferFrames, sampleRate);
}

int32_t TEffectBridge::UnloadPlugin(intptr_t host) const { return unload_ != nullptr ? unload_(host) : 0; }

int32_t TEffectBridge::ProcessShortInt(intptr_t host, int16_t* block, int32_t frames) const noexcept {
  return processShortInt_ != nullptr ? processShortInt_(host, block, frames) : TORVANE_E_FAIL;
}

int32_t TEffectBridge::ShowProperties(intptr_t host) const { return show_ != nullptr ? show_(host) : TORVANE_E_FAIL; }
int32_t TEffectBridge::HideProperties(intptr_t host) const { return hide_ != nullptr ? hide_(host) : TORVANE_E_FAIL; }
int32_t TEffectBridge::ChangeTab(intptr_t host) const {
  return changeTab_ != nullptr ? changeTab_(host) : TORVANE_E_FAIL;
}

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 || (c >> 4) == 0xE || (c >> 3) == 0x1E) {
      len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
      if (i + len <= text.size()) {
        cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (size_t k = 1; k < len; ++k) {
          const unsigned char t = static_cast<unsigned char>(text[i + k]);
          if ((t >> 6) != 0x2) {
            cp = 0xFFFD;
            len = k;
            break;
          }
          cp = (cp << 6) | (t & 0x3F);
        }
      } else {
        len = text.size() - i;
      }
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf8FromUtf16(const char16_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const char16_t* p = text; *p != 0; ++p) {
    uint32_t cp = *p;
    if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace zonda
