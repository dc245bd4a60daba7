#pragma once
// TEffectPlugin: one effect slot of a deck. It hosts one plug-in of one of
// three kinds (a native effect .so, a LADSPA effect through libtorvane.so, an
// LV2 effect through libilvex.so), switches it on and off, opens its editor,
// and processes the deck's blocks with a dry/wet mix. Slots 1-4 belong to
// deck A, 5-8 to deck B (TEffectSlots owns the eight).
//
//   TEffectPlugin slot(3, &host);
//   slot.LoadPlugin("/path/echo.so");      // or "*N" (LADSPA list), "#N" (LV2 list)
//   mixer.SetEffectSlot(0, 2, &slot);
//   slot.SetActive(true);  slot.SetDryWetKnob(60);
//
// Identifiers: a native plug-in's path (a path that does not exist is tried
// in the installation's effects folder by its file name), "*N" for entry N of
// the LADSPA list, "#N" for entry N of the LV2 list. Shorter than two
// characters: the slot stays empty.
//
// Switching on and off is click-free: the wet signal is faded in and out over
// kEffectRampFrames. Unloading (and switching off) waits until the audio
// thread is no longer inside the plug-in before anything is stopped or freed.
//
// Threads: ProcessBlock on the audio thread (no allocation, no lock: the
// buffers are part of the slot); everything else on the main thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "effects/EffectCatalog.h"
#include "effects/NativeEffectAbi.h"
#include "engine/Mixer.h"

namespace zonda {

class TEffectBridge;
class IlvexLibrary;

inline constexpr int32_t kEffectWorkFrames = 44100;   // the dry/wet copy
inline constexpr int32_t kEffectFloatFrames = 4411;   // the LV2 float block
inline constexpr int32_t kEffectPieceFrames = 4000;   // longest piece handed to a plug-in
inline constexpr int32_t kEffectRampFrames = 221;     // 5 ms fade when switched on or off
inline constexpr int32_t kEffectBridgeBufferFrames = 4000;

enum class TEffectKind : int32_t { Native = 0, Ladspa = 1, Lv2 = 2 };

// What the slots need from the program around them.
struct TEffectHost {
  std::string EffectsFolder;           // ProgramPath("/effects")
  void* MainWindow = nullptr;          // given to a native plug-in's "create"
  void* EditorWindow = nullptr;        // parent of LADSPA property pages
  const TEffectBridge* Bridge = nullptr;  // null: no LADSPA effects
  IlvexLibrary* Ilvex = nullptr;       // null: no LV2 effects
  const std::vector<TDxPluginData>* DxList = nullptr;
  const std::vector<TVSTPluginData>* VstList = nullptr;
  // The LADSPA editor window around showpluginproperties: before (the window
  // takes the slot) and after (it is shown); both may be empty.
  std::function<void(int32_t slot)> BeforeEditorPages;
  std::function<void(int32_t slot)> AfterEditorPages;
};

class TEffectPlugin final : public TMixerEffectSlot {
 public:
  TEffectPlugin(int32_t slotNumber, const TEffectHost* host);
  ~TEffectPlugin() override;  // unloads
  TEffectPlugin(const TEffectPlugin&) = delete;
  TEffectPlugin& operator=(const TEffectPlugin&) = delete;

  // Main thread.
  bool LoadPlugin(const std::string& ident);
  void UnloadPlugin();
  void SetActive(bool on);
  // A dry/wet knob value 0..100: above 1 it is the wet share in percent, else fully dry.
  void SetDryWetKnob(int32_t value);
  void ShowEditor();
  void HideEditor();
  void EditorTabChanged();
  void IdleEditor();

  TEffectKind Kind() const { return kind_; }
  bool EditorOpen() const { return editorOpen_; }
  bool Empty() const { return empty_.load(std::memory_order_acquire); }
  bool Active() const { return active_.load(std::memory_order_acquire); }
  const std::string& Name() const { return name_; }
  const std::string& Ident() const { return ident_; }
  int32_t SlotNumber() const { return slotNumber_; }
  intptr_t Instance() const { return instance_; }
  double DryWet() const { return dryWet_.load(std::memory_order_relaxed); }

  // Audio thread.
  void ProcessBlock(int16_t* block, int32_t bytes, double tempoBpm) noexcept override;

 private:
  struct NativeEntries {
    ZondaFxGetDspVersion getdspversion = nullptr;
    ZondaFxCreate create = nullptr;
    ZondaFxGetName getname = nullptr;
    ZondaFxDestroy destroy = nullptr;
    ZondaFxEdit edit = nullptr;
    ZondaFxStart start = nullptr;
    ZondaFxStop stop = nullptr;
    ZondaFxClear clear = nullptr;
    ZondaFxProcess process = nullptr;
  };

  bool LoadLadspa(const std::string& number);
  bool LoadLv2(const std::string& number);
  bool LoadNative(const std::string& path);
  void Loaded(TEffectKind kind, intptr_t instance, std::string name, std::string ident);
  // Waits until the audio thread has faded the slot out (bounded, for a
  // stopped device) and then until it is out of the plug-in; from then on the
  // audio thread leaves the slot alone until it is switched on again.
  void Silence();
  void ProcessPiece(int16_t* block, int32_t frames, double tempoBpm) noexcept;
  void RunPlugin(int16_t* block, int32_t frames, double tempoBpm) noexcept;

  const TEffectHost* host_;
  const int32_t slotNumber_;
  TEffectKind kind_ = TEffectKind::Native;
  bool editorOpen_ = false;
  std::atomic<bool> empty_{true};
  std::string name_ = "[ load FX ]";
  std::string ident_ = "-";
  std::atomic<bool> active_{false};
  void* library_ = nullptr;
  intptr_t instance_ = 0;
  NativeEntries native_;
  std::atomic<double> dryWet_{1.0};

  // Hand-over with the audio thread: busy_ while it is inside ProcessBlock;
  // silenced_ keeps it out of the plug-in; quiet_ once it has faded out.
  std::atomic<bool> busy_{false};
  std::atomic<bool> silenced_{true};
  std::atomic<bool> quiet_{true};

  // Audio thread.
  double wetGain_ = 0.0;  // fade position 0..1
  std::vector<int16_t> workBuffer_;  // kEffectWorkFrames stereo frames
  std::vector<int16_t> dryBuffer_;   // kEffectPieceFrames stereo frames
  std::vector<float> floatBuffer_;   // kEffectFloatFrames stereo frames
};

}  // namespace zonda
