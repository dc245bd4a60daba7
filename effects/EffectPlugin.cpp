#include "effects/EffectPlugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

#include "effects/EffectBridge.h"
#include "engine/IlvexLibrary.h"

namespace zonda {

namespace {

inline int16_t SaturatedSample(double v) noexcept {
  v = std::nearbyint(v);  // the default rounding mode: halves to even
  return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// "N" as a whole non-negative number; -1 otherwise.
int32_t ListNumber(const std::string& text) {
  int32_t n = -1;
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, n);
  return (ec == std::errc() && at == end && n >= 0) ? n : -1;
}

template <typename Fn>
bool BindExport(void* lib, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(lib, name));
  return slot != nullptr;
}

void WaitUntil(const std::atomic<bool>& flag, bool value, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (flag.load(std::memory_order_seq_cst) != value) {
    if (limit.count() >= 0 && std::chrono::steady_clock::now() > deadline) return;
    std::this_thread::yield();
  }
}

}  // namespace

TEffectPlugin::TEffectPlugin(int32_t slotNumber, const TEffectHost* host)
    : host_(host),
      slotNumber_(slotNumber),
      workBuffer_(size_t(kEffectWorkFrames) * 2),
      dryBuffer_(size_t(kEffectPieceFrames) * 2),
      floatBuffer_(size_t(kEffectFloatFrames) * 2) {}

TEffectPlugin::~TEffectPlugin() { UnloadPlugin(); }

bool TEffectPlugin::LoadPlugin(const std::string& ident) {
  UnloadPlugin();
  if (ident.size() < 2) return false;
  try {
    if (ident[0] == '*') return LoadLadspa(ident.substr(1));
    if (ident[0] == '#') return LoadLv2(ident.substr(1));
  } catch (...) {
    return false;  // a bridge that throws counts as a failed load
  }
  return LoadNative(ident);
}

bool TEffectPlugin::LoadLadspa(const std::string& number) {
  const int32_t n = ListNumber(number);
  if (host_ == nullptr || host_->Bridge == nullptr || !host_->Bridge->IsLoaded() || host_->DxList == nullptr ||
      n < 0 || n >= int32_t(host_->DxList->size()))
    return false;
  const TDxPluginData& entry = (*host_->DxList)[size_t(n)];
  // The bridge gets the longest piece the slot ever hands it, not the device
  // block: an audio restart with a larger block must not leave it refusing blocks.
  const intptr_t instance =
      host_->Bridge->LoadPlugin(host_->EditorWindow, entry.MonikerName, kEffectBridgeBufferFrames, 44100);
  if (instance == 0) return false;
  Loaded(TEffectKind::Ladspa, instance, entry.Name, "*" + std::to_string(n));
  return true;
}

bool TEffectPlugin::LoadLv2(const std::string& number) {
  const int32_t n = ListNumber(number);
  if (host_ == nullptr || host_->Ilvex == nullptr || host_->VstList == nullptr || n < 0 ||
      n >= int32_t(host_->VstList->size()))
    return false;
  const TVSTPluginData& entry = (*host_->VstList)[size_t(n)];
  const intptr_t instance = host_->Ilvex->VstLoad(entry.PluginIndex);
  if (instance == 0) return false;
  Loaded(TEffectKind::Lv2, instance, entry.Name, "#" + std::to_string(n));
  return true;
}

bool TEffectPlugin::LoadNative(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string file = path;
  if (!fs::is_regular_file(file, ec)) {
    if (host_ == nullptr || host_->EffectsFolder.empty()) return false;
    file = (fs::path(host_->EffectsFolder) / fs::path(path).filename()).string();
    if (fs::path(path).filename().empty() || !fs::is_regular_file(file, ec)) return false;
  }
  void* lib = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return false;
  NativeEntries e;
  bool all = true;
  all &= BindExport(lib, "getdspversion", e.getdspversion);
  all &= BindExport(lib, "create", e.create);
  all &= BindExport(lib, "getname", e.getname);
  all &= BindExport(lib, "destroy", e.destroy);
  all &= BindExport(lib, "edit", e.edit);
  all &= BindExport(lib, "start", e.start);
  all &= BindExport(lib, "stop", e.stop);
  all &= BindExport(lib, "clear", e.clear);
  all &= BindExport(lib, "process", e.process);
  if (!all || e.getdspversion() != ZONDA_NATIVE_EFFECT_VERSION) {
    dlclose(lib);
    return false;
  }
  const intptr_t instance = e.create(host_ != nullptr ? host_->MainWindow : nullptr);
  if (instance == 0) {  // nothing was made: there is nothing to run or destroy
    dlclose(lib);
    return false;
  }
  const char* name = e.getname();
  library_ = lib;
  native_ = e;
  Loaded(TEffectKind::Native, instance, name != nullptr ? name : "", file);
  return true;
}

void TEffectPlugin::Loaded(TEffectKind kind, intptr_t instance, std::string name, std::string ident) {
  kind_ = kind;
  instance_ = instance;
  name_ = std::move(name);
  ident_ = std::move(ident);
  editorOpen_ = false;
  active_.store(false);
  silenced_.store(true);
  empty_.store(false, std::memory_order_release);
}

void TEffectPlugin::Silence() {
  // A running device fades the slot out within a block or two; a stopped one
  // never will, so the wait is bounded.
  WaitUntil(quiet_, true, std::chrono::milliseconds(120));
  silenced_.store(true, std::memory_order_seq_cst);
  WaitUntil(busy_, false, std::chrono::milliseconds(-1));
}

void TEffectPlugin::UnloadPlugin() {
  if (empty_.load()) return;
  active_.store(false, std::memory_order_seq_cst);
  Silence();
  HideEditor();
  empty_.store(true);
  name_ = "-";
  ident_ = "-";
  editorOpen_ = false;
  const intptr_t instance = instance_;
  instance_ = 0;
  switch (kind_) {
    case TEffectKind::Native:
      if (native_.destroy != nullptr) native_.destroy(instance);
      if (library_ != nullptr) dlclose(library_);
      library_ = nullptr;
      native_ = {};
      break;
    case TEffectKind::Ladspa:
      if (instance != 0 && host_ != nullptr && host_->Bridge != nullptr) host_->Bridge->UnloadPlugin(instance);
      break;
    case TEffectKind::Lv2:
      if (instance != 0 && host_ != nullptr && host_->Ilvex != nullptr) host_->Ilvex->VstUnload(instance);
      break;
  }
}

void TEffectPlugin::SetActive(bool on) {
  if (empty_.load()) return;
  if (on == active_.load()) return;
  if (on) {
    if (kind_ == TEffectKind::Native) native_.start(instance_);
    silenced_.store(false, std::memory_order_seq_cst);
    active_.store(true, std::memory_order_seq_cst);
  } else {
    active_.store(false, std::memory_order_seq_cst);
    Silence();
    if (kind_ == TEffectKind::Native) native_.stop(instance_);
  }
}

void TEffectPlugin::SetDryWetKnob(int32_t value) { dryWet_.store(value > 1 ? std::min(value, 100) / 100.0 : 0.0); }

void TEffectPlugin::ShowEditor() {
  if (empty_.load()) return;
  switch (kind_) {
    case TEffectKind::Native:
      native_.edit(instance_);
      break;
    case TEffectKind::Ladspa:
      if (instance_ == 0 || host_ == nullptr || host_->Bridge == nullptr) return;
      if (host_->BeforeEditorPages) host_->BeforeEditorPages(slotNumber_);
      host_->Bridge->ShowProperties(instance_);
      editorOpen_ = true;
      if (host_->AfterEditorPages) host_->AfterEditorPages(slotNumber_);
      break;
    case TEffectKind::Lv2:
      if (instance_ == 0 || host_ == nullptr || host_->Ilvex == nullptr) return;
      host_->Ilvex->VstShowEditor(instance_, -1);
      editorOpen_ = true;
      break;
  }
}

void TEffectPlugin::HideEditor() {
  if (!editorOpen_ || host_ == nullptr) return;
  if (kind_ == TEffectKind::Ladspa && host_->Bridge != nullptr) host_->Bridge->HideProperties(instance_);
  if (kind_ == TEffectKind::Lv2 && host_->Ilvex != nullptr) host_->Ilvex->VstShowEditor(instance_, 0);
  editorOpen_ = false;
}

void TEffectPlugin::EditorTabChanged() {
  if (kind_ == TEffectKind::Ladspa && editorOpen_ && host_ != nullptr && host_->Bridge != nullptr)
    host_->Bridge->ChangeTab(instance_);
}

void TEffectPlugin::IdleEditor() {
  if (kind_ == TEffectKind::Lv2 && instance_ != 0 && !empty_.load() && host_ != nullptr && host_->Ilvex != nullptr)
    host_->Ilvex->VstGuiIdleRefresh(instance_);
}

void TEffectPlugin::ProcessBlock(int16_t* block, int32_t bytes, double tempoBpm) noexcept {
  busy_.store(true, std::memory_order_seq_cst);
  const bool on = active_.load(std::memory_order_seq_cst);
  if (silenced_.load(std::memory_order_seq_cst) || (!on && wetGain_ <= 0.0)) {
    wetGain_ = 0.0;
    quiet_.store(true, std::memory_order_seq_cst);
    busy_.store(false, std::memory_order_release);
    return;
  }
  quiet_.store(false, std::memory_order_relaxed);
  const int32_t frames = std::max(bytes, 0) / 4;
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(frames - done, kEffectPieceFrames);
    ProcessPiece(block + size_t(done) * 2, n, tempoBpm);
    done += n;
  }
  if (!on && wetGain_ <= 0.0) quiet_.store(true, std::memory_order_seq_cst);
  busy_.store(false, std::memory_order_release);
}

void TEffectPlugin::ProcessPiece(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  const double target = active_.load(std::memory_order_relaxed) ? 1.0 : 0.0;
  const double dryWet = dryWet_.load(std::memory_order_relaxed);
  const bool fading = wetGain_ != target;
  if (!fading && dryWet >= 1.0) {  // fully wet and steady: in place
    RunPlugin(block, frames, tempoBpm);
    return;
  }
  const size_t samples = size_t(frames) * 2;
  std::memcpy(workBuffer_.data(), block, samples * sizeof(int16_t));
  RunPlugin(workBuffer_.data(), frames, tempoBpm);
  if (fading) std::memcpy(dryBuffer_.data(), block, samples * sizeof(int16_t));
  if (dryWet >= 1.0) {
    std::memcpy(block, workBuffer_.data(), samples * sizeof(int16_t));
  } else if (dryWet > 0.0) {
    for (size_t i = 0; i < samples; ++i)
      block[i] = SaturatedSample((1.0 - dryWet) * block[i] + dryWet * workBuffer_[i]);
  }
  if (!fading) return;
  const double step = 1.0 / kEffectRampFrames;
  for (int32_t f = 0; f < frames; ++f) {
    wetGain_ = target > wetGain_ ? std::min(target, wetGain_ + step) : std::max(target, wetGain_ - step);
    for (size_t c = 0; c < 2; ++c) {
      const size_t i = size_t(f) * 2 + c;
      const double dry = dryBuffer_[i];
      block[i] = SaturatedSample(dry + wetGain_ * (block[i] - dry));
    }
  }
}

void TEffectPlugin::RunPlugin(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  switch (kind_) {
    case TEffectKind::Native:
      native_.process(instance_, block, frames * 4, tempoBpm);
      break;
    case TEffectKind::Ladspa:
      if (instance_ != 0) host_->Bridge->ProcessShortInt(instance_, block, frames);
      break;
    case TEffectKind::Lv2: {
      if (instance_ == 0) break;
      // 3e-05 rather than 1/32768: levels stay as stored plug-in settings expect.
      for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(frames - done, kEffectFloatFrames);
        int16_t* at = block + size_t(done) * 2;
        for (size_t i = 0; i < size_t(n) * 2; ++i) floatBuffer_[i] = float(at[i] * 3e-05);
        host_->Ilvex->VstProcess(instance_, floatBuffer_.data(), n);
        for (size_t i = 0; i < size_t(n) * 2; ++i) at[i] = SaturatedSample(double(floatBuffer_[i]) * 32767.0);
        done += n;
      }
      break;
    }
  }
}

}  // namespace zonda
