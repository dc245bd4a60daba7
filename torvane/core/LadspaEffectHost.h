#pragma once
// TLadspaEffectHost: one loaded LADSPA effect, the object behind a handle of
// libtorvane.so. It owns the plug-in library, one instance (two for a paired
// mono plug-in), the audio port buffers (BufferFrames frames each), the
// control values and the property pages.
//
//   auto host = TLadspaEffectHost::Load(parent, "ladspa:/usr/lib/ladspa/filter.so:1041", 256, 44100);
//   host->ProcessShortInt(block, 256);      // audio thread, in place
//   host->ShowProperties();                 // main thread, pages in `parent`
//   host.reset();                           // main thread: pages gone, plug-in closed
//
// Threads:
//   audio  Process, ProcessShortInt: no allocation, no mutex, no file I/O.
//          They only try Lock; a block that finds it taken passes through
//          unprocessed (result 0).
//   main   Load, ShowProperties, HideProperties, ChangeTab, destruction: they
//          hold Lock, waiting for it when the audio thread has it. The pages'
//          widgets are built and deleted outside it, so opening the editor
//          holds it for a pointer swap, not for the time Qt takes.
// Control values are atomics: the pages write them at any time, the audio
// thread copies them into the plug-in's control ports at the start of each block.
#include <ladspa.h>

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "torvane/core/HostLock.h"
#include "torvane/core/LadspaLibrary.h"
#include "torvane/core/LadspaPluginShape.h"
#include "torvane/core/PropertyPages.h"

namespace zonda {

// A rate above this is refused at load: plug-ins size delay lines by it.
inline constexpr int32_t kMaxTorvaneSampleRate = 384000;

class TLadspaEffectHost {
 public:
  // Main thread. `parent` is the QWidget* that will hold the property pages
  // (may be null, and is ignored without a QApplication: then there are no
  // pages). Null on failure, after the diagnostic line of the step that
  // failed: "ERROR: SetFilter" for a plug-in that cannot be loaded or used,
  // "ERROR: SetBufferSizeAndSampleRate" for a size outside 1..4000 frames or
  // a bad rate, "ERROR: Play" when it cannot be instantiated. A malformed
  // name fails without a line.
  static std::unique_ptr<TLadspaEffectHost> Load(void* parent, const std::string& moniker, int32_t bufferFrames,
                                                 int32_t sampleRate);
  // Main thread: hides the pages, deactivates and frees the instances, closes the library.
  ~TLadspaEffectHost();
  TLadspaEffectHost(const TLadspaEffectHost&) = delete;
  TLadspaEffectHost& operator=(const TLadspaEffectHost&) = delete;

  // Audio thread. Stereo interleaved blocks processed in place; results as the
  // exports: 0, TORVANE_E_FAIL (not running), TORVANE_E_INVALIDARG (frames
  // outside 1..BufferFrames or no buffer: the buffer is left untouched).
  int32_t Process(float* stereo, int32_t frames) noexcept;
  int32_t ProcessShortInt(int16_t* stereo, int32_t frames) noexcept;

  // Main thread. 0, or TORVANE_E_FAIL when there is no parent, no
  // QApplication or no plug-in running.
  int32_t ShowProperties();
  int32_t HideProperties();
  int32_t ChangeTab();

  TLadspaLayout Layout() const { return shape_.Layout; }
  const std::vector<TControlPortInfo>& Controls() const { return shape_.Controls; }
  std::atomic<float>& ControlValue(size_t index) { return ControlValues[index]; }
  // The shown pages, or null (main thread; for the editor window and tests).
  const TPropertyPages* Pages() const { return pages_.get(); }

  const int32_t BufferFrames;
  const int32_t SampleRate;
  THostLock Lock;

 private:
  TLadspaEffectHost(void* parent, std::unique_ptr<TLadspaLibrary> library, const LADSPA_Descriptor* descriptor,
                    TLadspaPluginShape shape, int32_t bufferFrames, int32_t sampleRate);
  bool Start();
  void ConnectInstance(LADSPA_Handle instance, size_t index);
  // Runs the plug-in over `frames` stereo frames in place; Lock held.
  void RunBlock(float* stereo, int32_t frames) noexcept;

  QPointer<QWidget> Parent;
  std::unique_ptr<TLadspaLibrary> library_;
  const LADSPA_Descriptor* descriptor_;
  TLadspaPluginShape shape_;
  std::vector<LADSPA_Handle> instances_;
  bool activated_ = false;
  std::atomic<bool> Running{false};

  std::vector<float> Samples;                          // 16-bit blocks as floats, interleaved
  std::vector<float> audio_;                           // in L, in R, out L, out R: BufferFrames each
  std::vector<std::atomic<float>> ControlValues;       // written by the pages, read by the audio thread
  std::vector<LADSPA_Data> controlPorts_;              // what the plug-in reads during run()
  std::vector<std::vector<LADSPA_Data>> controlOutputs_;  // per instance, read by nobody
  std::unique_ptr<TPropertyPages> pages_;
};

}  // namespace zonda
