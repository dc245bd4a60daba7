#pragma once
// The lists of LADSPA effects (through libtorvane.so) and LV2 effects
// (through libilvex.so) the slot menus offer, and the native effects in the
// installation's effects folder.
//
// A list is built from what the enumeration delivers, minus every entry whose
// name occurs anywhere in the kind's exclusion text, sorted by name without
// regard to case, and grouped: entries sharing a leading word (or two leading
// words, when every member has them) form a sub-menu captioned with that
// prefix, and the members' names lose it ("Acme Chorus", "Acme Delay" ->
// "Acme" > "Chorus", "Delay").
//
// Threads: main thread (or any one thread at a time).
#include <cstdint>
#include <string>
#include <vector>

namespace zonda {

struct TPluginGrouping {
  std::string Name;          // menu caption; the slot's name once loaded
  int32_t GroupStart = 0;    // list index of the group's first entry
  std::string GroupPrefix;   // the sub-menu caption of a group
  int32_t GroupSize = 0;
  int32_t PrefixLength = 0;  // characters removed from Name: the prefix and its blank
};

struct TDxPluginData : TPluginGrouping {
  std::string MonikerName;   // what loadplugin is given
};

struct TVSTPluginData : TPluginGrouping {
  std::string Path;          // as delivered by the enumeration; kept, not used
  int32_t PluginIndex = 0;   // what vst_load is given
};

struct TDxFilter {
  std::string MonikerName, FriendlyName;
};
struct TVstPlugin {
  std::string Path, Name;
  int32_t PluginIndex = 0;
};

// An entry's name as the plug-in gives it: a grouped entry's menu caption
// follows its group's prefix ("Acme" > "Delay" is "Acme Delay").
std::string FullPluginName(const TPluginGrouping& entry);

std::vector<TDxPluginData> BuildDxList(const std::vector<TDxFilter>& filters, const std::string& exclusionText);
std::vector<TVSTPluginData> BuildVstList(const std::vector<TVstPlugin>& plugins, const std::string& exclusionText);

// A menu built from a grouped list: leaves carry the list index as their tag.
struct TEffectMenuNode {
  std::string Caption;
  int32_t Tag = -1;                       // -1 for a sub-menu
  std::vector<TEffectMenuNode> Children;  // a sub-menu's items
};
std::vector<TEffectMenuNode> BuildEffectMenu(const std::vector<TPluginGrouping>& list);
template <class T>
std::vector<TEffectMenuNode> BuildEffectMenuOf(const std::vector<T>& list) {
  return BuildEffectMenu(std::vector<TPluginGrouping>(list.begin(), list.end()));
}

// A native effect in the effects folder: a .so with the nine exports and version 2.
struct TNativeEffectFile {
  std::string Path, Name;
};
// Sorted by file name; libraries that are not native effects are left out.
std::vector<TNativeEffectFile> ListNativeEffects(const std::string& folder);

// The exclusion file whole; false (and *error set) when it cannot be read.
bool ReadExclusionText(const std::string& path, std::string* text, std::string* error);

}  // namespace zonda
