#include "effects/EffectCatalog.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "effects/NativeEffectAbi.h"

namespace zonda {

namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) < std::tolower(y);
  });
}

// Fills the group fields of a sorted list and shortens the grouped names.
template <class T>
void GroupList(std::vector<T>& list) {
  const int32_t n = int32_t(list.size());
  // Pass 1: a new group at every change of leading word, and at every name without one.
  int32_t start = 0;
  for (int32_t i = 0; i < n; ++i) {
    T& e = list[size_t(i)];
    const size_t blank = e.Name.find(' ');
    e.GroupPrefix = blank == std::string::npos ? "" : e.Name.substr(0, blank);
    e.PrefixLength = blank == std::string::npos ? 0 : int32_t(blank) + 1;
    if (i == 0 || e.GroupPrefix.empty() || e.GroupPrefix != list[size_t(start)].GroupPrefix) start = i;
    e.GroupStart = start;
  }
  // Pass 2: per group, two leading words when every member has them; the sizes.
  for (int32_t g = 0; g < n;) {
    int32_t end = g + 1;
    while (end < n && list[size_t(end)].GroupStart == g) ++end;
    const std::string& first = list[size_t(g)].Name;
    const size_t blank1 = first.find(' ');
    const size_t blank2 = blank1 == std::string::npos ? std::string::npos : first.find(' ', blank1 + 1);
    // Only a real second blank makes a two-word prefix: a whole name as
    // prefix would leave a member with no name at all.
    if (blank2 != std::string::npos) {
      const std::string two = first.substr(0, blank2);
      bool everyMember = true;
      for (int32_t i = g; i < end; ++i) everyMember = everyMember && list[size_t(i)].Name.find(two) != std::string::npos;
      if (everyMember) {
        for (int32_t i = g; i < end; ++i) {
          list[size_t(i)].GroupPrefix = two;
          list[size_t(i)].PrefixLength = int32_t(blank2) + 1;
        }
      }
    }
    const bool lastSingle = end == n && end - g == 1;
    if (!lastSingle)
      for (int32_t i = g; i < end; ++i) list[size_t(i)].GroupSize = end - g;
    g = end;
  }
  for (T& e : list)
    if (e.GroupSize > 1) e.Name.erase(0, std::min(e.Name.size(), size_t(e.PrefixLength)));
}

template <class T>
void SortByName(std::vector<T>& list) {
  std::stable_sort(list.begin(), list.end(), [](const T& a, const T& b) { return LessNoCase(a.Name, b.Name); });
}

}  // namespace

std::string FullPluginName(const TPluginGrouping& e) {
  return e.GroupSize > 1 && e.PrefixLength > 0 ? e.GroupPrefix + " " + e.Name : e.Name;
}

std::vector<TDxPluginData> BuildDxList(const std::vector<TDxFilter>& filters, const std::string& exclusionText) {
  std::vector<TDxPluginData> list;
  for (const TDxFilter& f : filters) {
    if (exclusionText.find(f.FriendlyName) != std::string::npos) continue;
    TDxPluginData e;
    e.MonikerName = f.MonikerName;
    e.Name = f.FriendlyName;
    list.push_back(std::move(e));
  }
  SortByName(list);
  GroupList(list);
  return list;
}

std::vector<TVSTPluginData> BuildVstList(const std::vector<TVstPlugin>& plugins, const std::string& exclusionText) {
  std::vector<TVSTPluginData> list;
  for (const TVstPlugin& p : plugins) {
    if (exclusionText.find(p.Name) != std::string::npos) continue;
    TVSTPluginData e;
    e.Path = p.Path;
    e.Name = p.Name;
    e.PluginIndex = p.PluginIndex;
    list.push_back(std::move(e));
  }
  SortByName(list);
  GroupList(list);
  return list;
}

std::vector<TEffectMenuNode> BuildEffectMenu(const std::vector<TPluginGrouping>& list) {
  std::vector<TEffectMenuNode> menu;
  std::vector<int32_t> subMenuOfGroup(list.size(), -1);
  for (size_t j = 0; j < list.size(); ++j) {
    const TPluginGrouping& e = list[j];
    TEffectMenuNode item{e.Name, int32_t(j), {}};
    const size_t start = size_t(std::clamp<int32_t>(e.GroupStart, 0, int32_t(j)));
    if (start == j && e.GroupSize < 2) {
      menu.push_back(std::move(item));
    } else if (start == j) {
      subMenuOfGroup[j] = int32_t(menu.size());
      menu.push_back(TEffectMenuNode{e.GroupPrefix, -1, {std::move(item)}});
    } else if (subMenuOfGroup[start] >= 0) {
      menu[size_t(subMenuOfGroup[start])].Children.push_back(std::move(item));
    } else {
      menu.push_back(std::move(item));
    }
  }
  return menu;
}

std::vector<TNativeEffectFile> ListNativeEffects(const std::string& folder) {
  std::vector<TNativeEffectFile> found;
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".so" && entry.is_regular_file(ec)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    void* lib = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) continue;
    static constexpr const char* kExports[] = {"getdspversion", "create", "getname", "destroy", "edit",
                                               "start",         "stop",   "clear",   "process"};
    bool complete = true;
    for (const char* name : kExports) complete = complete && dlsym(lib, name) != nullptr;
    if (complete) {
      auto version = reinterpret_cast<ZondaFxGetDspVersion>(dlsym(lib, "getdspversion"));
      auto getName = reinterpret_cast<ZondaFxGetName>(dlsym(lib, "getname"));
      if (version() == ZONDA_NATIVE_EFFECT_VERSION) {
        const char* name = getName();
        found.push_back({file.string(), name != nullptr ? name : file.stem().string()});
      }
    }
    dlclose(lib);
  }
  return found;
}

bool ReadExclusionText(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "Cannot open file \"" + path + "\".";
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return true;
}

}  // namespace zonda
