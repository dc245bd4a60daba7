#include "platform/ilvex/lv2/Lv2Host.h"

#include <QApplication>
#include <exception>
#include <stdexcept>

#include "platform/ilvex/lv2/Lv2EditorWindow.h"
#include "platform/ilvex/lv2/Lv2Features.h"
#include "platform/ilvex/lv2/Lv2Nodes.h"

namespace zonda::ilvex {

struct Lv2Host::World {
  struct WorldFree {
    void operator()(LilvWorld* world) const { lilv_world_free(world); }
  };
  std::unique_ptr<LilvWorld, WorldFree> lilv{lilv_world_new()};
  std::unique_ptr<Lv2Nodes> nodes;
  Lv2Features features;
  std::vector<const LilvPlugin*> plugins;  // parallel to Lv2Host::plugins_
};

struct Lv2Host::Loaded {
  std::unique_ptr<Lv2Effect> effect;
  std::unique_ptr<Lv2EditorWindow> editor;  // declared last: closed before its effect goes
};

namespace {

bool NeedsOnlyProvidedFeatures(const LilvPlugin* plugin) {
  LilvNodes* required = lilv_plugin_get_required_features(plugin);
  bool ok = true;
  LILV_FOREACH(nodes, it, required) {
    const char* feature = lilv_node_as_uri(lilv_nodes_get(required, it));
    if (feature == nullptr || !Lv2Features::Provides(feature)) ok = false;
  }
  lilv_nodes_free(required);
  return ok;
}

}  // namespace

Lv2Host::Lv2Host() : world_(std::make_unique<World>()) {
  if (!world_->lilv) throw std::runtime_error("lilv could not make a world");
  lilv_world_load_all(world_->lilv.get());
  world_->nodes = std::make_unique<Lv2Nodes>(world_->lilv.get());
  const LilvPlugins* all = lilv_world_get_all_plugins(world_->lilv.get());
  LILV_FOREACH(plugins, it, all) {
    const LilvPlugin* plugin = lilv_plugins_get(all, it);
    if (plugin == nullptr || !lilv_plugin_verify(plugin) || !NeedsOnlyProvidedFeatures(plugin)) continue;
    const Lv2StereoLayout layout = StereoLayoutOf(ClassifyPorts(plugin, *world_->nodes));
    if (layout == Lv2StereoLayout::kNone) continue;
    LilvNode* name = lilv_plugin_get_name(plugin);
    if (name == nullptr) continue;
    plugins_.push_back({lilv_node_as_uri(lilv_plugin_get_uri(plugin)), lilv_node_as_string(name), layout});
    lilv_node_free(name);
    world_->plugins.push_back(plugin);
  }
}

Lv2Host::~Lv2Host() { loaded_.clear(); }

size_t Lv2Host::LoadedCount() const { return loaded_.size(); }

Lv2Effect* Lv2Host::Load(int32_t pluginIndex) {
  if (pluginIndex < 0 || size_t(pluginIndex) >= plugins_.size()) {
    lastError_ = "no LV2 plug-in number " + std::to_string(pluginIndex);
    return nullptr;
  }
  try {
    Loaded loaded;
    loaded.effect = std::make_unique<Lv2Effect>(world_->plugins[size_t(pluginIndex)], *world_->nodes, world_->features);
    loaded_.push_back(std::move(loaded));
    lastError_.clear();
    return loaded_.back().effect.get();
  } catch (const std::exception& e) {
    lastError_ = e.what();
    return nullptr;
  }
}

bool Lv2Host::Unload(Lv2Effect* effect) {
  for (auto it = loaded_.begin(); it != loaded_.end(); ++it) {
    if (it->effect.get() != effect) continue;
    loaded_.erase(it);
    return true;
  }
  return false;
}

Lv2Effect* Lv2Host::Find(intptr_t handle) const {
  for (const Loaded& loaded : loaded_)
    if (reinterpret_cast<intptr_t>(loaded.effect.get()) == handle) return loaded.effect.get();
  return nullptr;
}

void Lv2Host::ShowEditor(Lv2Effect* effect, bool show) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  for (Loaded& loaded : loaded_) {
    if (loaded.effect.get() != effect) continue;
    if (!show) {
      if (loaded.editor) loaded.editor->hide();
      return;
    }
    if (!loaded.editor) loaded.editor = std::make_unique<Lv2EditorWindow>(*effect);
    loaded.editor->show();
    loaded.editor->raise();
    loaded.editor->activateWindow();
    return;
  }
}

bool Lv2Host::EditorVisible(const Lv2Effect* effect) const {
  for (const Loaded& loaded : loaded_)
    if (loaded.effect.get() == effect) return loaded.editor && loaded.editor->isVisible();
  return false;
}

}  // namespace zonda::ilvex
