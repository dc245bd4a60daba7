#include "torvane/core/LadspaCatalog.h"

#include <set>

#include "torvane/core/LadspaFolders.h"
#include "torvane/core/LadspaLibrary.h"
#include "torvane/core/LadspaMoniker.h"

namespace zonda {

namespace {
// Shapes do not depend on the rate except for SAMPLE_RATE bounds, which the list does not show.
constexpr float kListingRateHz = 44100.0f;
}  // namespace

std::vector<TLadspaPluginEntry> ListLadspaPlugins(const std::vector<std::string>& folders) {
  std::vector<TLadspaPluginEntry> entries;
  std::set<std::string> seen;
  for (const std::string& folder : folders) {
    for (const std::string& path : LadspaLibrariesIn(folder)) {
      if (!seen.insert(path).second) continue;
      const auto library = TLadspaLibrary::Open(path);
      if (!library) continue;
      for (unsigned long i = 0; const LADSPA_Descriptor* d = library->Descriptor(i); ++i) {
        const auto shape = DescribeLadspaPlugin(*d, kListingRateHz);
        if (!shape) continue;
        entries.push_back({MakeLadspaMoniker(path, d->UniqueID), LadspaPluginName(*d), shape->Layout,
                           shape->Controls.size()});
      }
    }
  }
  return entries;
}

}  // namespace zonda
