#pragma once
// The LADSPA plug-ins installed on this machine that can run on a stereo
// deck (see TLadspaPluginShape for the layouts). Every *.so of the plug-in
// folders is opened in turn; one that fails to load, has no
// ladspa_descriptor or lists only unusable plug-ins adds nothing. A library
// reached through two folders is listed once.
//
//   for (const TLadspaPluginEntry& e : ListLadspaPlugins(LadspaFoldersOfEnvironment())) ...
//
// Main thread (it loads libraries, whose constructors run here).
#include <string>
#include <vector>

#include "torvane/core/LadspaPluginShape.h"

namespace zonda {

struct TLadspaPluginEntry {
  std::string Moniker;       // "ladspa:<library path>:<unique id>"
  std::string FriendlyName;  // the descriptor's Name
  TLadspaLayout Layout = TLadspaLayout::Stereo;
  size_t ControlCount = 0;
};

std::vector<TLadspaPluginEntry> ListLadspaPlugins(const std::vector<std::string>& folders);

}  // namespace zonda
