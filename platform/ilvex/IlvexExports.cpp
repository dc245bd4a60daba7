// The C exports of libilvex.so (declared in platform/ilvex/Ilvex.h). Everything
// else in the library is hidden. Called from the program's main thread, except
// get_mpeg_first_frame_pos, which deck workers call and which shares nothing.
#include <QApplication>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "decoding/core/MpegFirstFrame.h"
#include "platform/ilvex/Ilvex.h"
#include "platform/ilvex/core/AudioIO.h"
#include "platform/ilvex/core/ControlPanelDialog.h"
#include "platform/ilvex/core/PortAudioCatalog.h"
#include "platform/ilvex/lv2/Lv2Host.h"

#define ILVEX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace zonda::ilvex;

// Guards the open device against overlapping init/deinit calls; never taken on
// the audio thread.
std::mutex g_lock;
std::unique_ptr<AudioIO> g_io;
void* g_window = nullptr;
std::atomic<IlvexRestartCallback> g_restart{nullptr};

// ZONDA_AUDIO_VERBOSE=1: say on stderr which device opened and, at close, how it ran.
bool Verbose() {
  const char* v = std::getenv("ZONDA_AUDIO_VERBOSE");
  return v != nullptr && *v != '\0' && *v != '0';
}

void CloseDevice() {
  if (g_io && Verbose())
    std::fprintf(stderr, "ilvex: closing %s after %lld blocks, %lld xruns; audio thread %s\n",
                 g_io->Device().Description().c_str(), static_cast<long long>(g_io->Router().Blocks()),
                 static_cast<long long>(g_io->Device().Xruns()), BlockRouter::Describe(g_io->Router().AudioScheduling()));
  g_io.reset();
}

}  // namespace

ILVEX_EXPORT int32_t init_audio_io(void* windowHandle, IlvexAudioCallback input, IlvexAudioCallback output) {
  std::lock_guard<std::mutex> guard(g_lock);
  CloseDevice();
  g_window = windowHandle;
  try {  // nothing may cross the C boundary
    g_io = AudioIO::Open(LoadEffectiveSettings(), input, output);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ilvex: opening the audio device failed: %s\n", e.what());
    g_io.reset();
  }
  if (Verbose()) {
    if (g_io)
      std::fprintf(stderr, "ilvex: opened %s, %d frames per block, %d outputs, %d inputs\n",
                   g_io->Device().Description().c_str(), g_io->BlockFrames(), g_io->Device().OutputChannels(),
                   g_io->Device().InputChannels());
    else
      std::fprintf(stderr, "ilvex: no audio device could be opened\n");
  }
  return g_io ? 1 : 0;
}

ILVEX_EXPORT void deinit_audio_io() {
  std::lock_guard<std::mutex> guard(g_lock);
  CloseDevice();
}

ILVEX_EXPORT int32_t get_latency() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_io) return g_io->BlockFrames();
  return ClampBlockFrames(LoadEffectiveSettings().blockFrames);
}

ILVEX_EXPORT void audio_control_panel() try {
  // The dialog needs the program's QApplication; without one there is no window to show.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QString current;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_io) current = QString::fromStdString(g_io->Device().Description());
  }
  std::vector<PaHostApiEntry> apis;
  {
    PortAudioSession session;
    if (session.Ok()) apis = ListHostApis();
  }
  ControlPanelDialog dialog(LoadStoredSettings(), std::move(apis), current, [] {
    if (IlvexRestartCallback restart = g_restart.load()) {
      void* window = nullptr;
      {
        std::lock_guard<std::mutex> guard(g_lock);
        window = g_window;
      }
      restart(window);
    }
  });
  dialog.exec();
} catch (const std::exception& e) {
  std::fprintf(stderr, "ilvex: the audio settings window failed: %s\n", e.what());
}

ILVEX_EXPORT int32_t get_mpeg_first_frame_pos(const char* fileName) {
  try {
    const int64_t pos = zonda::MpegFirstFramePos(fileName);
    return pos >= 0 && pos <= INT32_MAX ? static_cast<int32_t>(pos) : -1;
  } catch (const std::exception&) {
    return -1;  // out of memory for the scan window: the decoder scans itself
  }
}

ILVEX_EXPORT void ilvex_set_restart_callback(IlvexRestartCallback callback) { g_restart.store(callback); }

// LV2 effects stand behind the vst_* exports. The host is made on first use
// (the first listing or load, not vst_init: reading every installed plug-in's
// description takes seconds, which start-up should not pay) and lives until
// vst_deinit; all of these but vst_process run on the main thread.
namespace {

std::unique_ptr<Lv2Host> g_lv2;

Lv2Host* Lv2() {
  if (!g_lv2) g_lv2 = std::make_unique<Lv2Host>();
  return g_lv2.get();
}

}  // namespace

ILVEX_EXPORT void vst_init(void*) {}

ILVEX_EXPORT void vst_deinit() { g_lv2.reset(); }

ILVEX_EXPORT void vst_enumerate_plugins(IlvexPluginCallback callback) try {
  if (callback == nullptr) return;
  const std::vector<Lv2PluginEntry>& plugins = Lv2()->Plugins();
  for (size_t i = 0; i < plugins.size(); ++i)
    if (callback(plugins[i].uri.c_str(), plugins[i].name.c_str(), int32_t(i)) != 0) break;
} catch (const std::exception& e) {
  std::fprintf(stderr, "ilvex: listing LV2 plug-ins failed: %s\n", e.what());
}

ILVEX_EXPORT intptr_t vst_load(int32_t pluginIndex) try {
  Lv2Host* host = Lv2();
  Lv2Effect* effect = host->Load(pluginIndex);
  if (effect == nullptr) std::fprintf(stderr, "ilvex: %s\n", host->LastError().c_str());
  return reinterpret_cast<intptr_t>(effect);
} catch (const std::exception& e) {
  std::fprintf(stderr, "ilvex: loading LV2 plug-in %d failed: %s\n", int(pluginIndex), e.what());
  return 0;
}

ILVEX_EXPORT void vst_unload(intptr_t instance) {
  if (g_lv2 && instance != 0) g_lv2->Unload(reinterpret_cast<Lv2Effect*>(instance));
}

// Audio thread. The handle is one vst_load gave and vst_unload has not taken back.
ILVEX_EXPORT void vst_process(intptr_t instance, float* stereoInterleaved, int32_t frames) {
  if (instance == 0 || stereoInterleaved == nullptr || frames <= 0) return;
  reinterpret_cast<Lv2Effect*>(instance)->Process(stereoInterleaved, frames);
}

ILVEX_EXPORT void vst_show_editor(intptr_t instance, int32_t show) try {
  if (!g_lv2) return;
  if (Lv2Effect* effect = g_lv2->Find(instance)) g_lv2->ShowEditor(effect, show != 0);
} catch (const std::exception& e) {
  std::fprintf(stderr, "ilvex: the LV2 editor failed: %s\n", e.what());
}

// The generated editor shows only inputs, which it writes itself: nothing to refresh.
ILVEX_EXPORT void vst_gui_idle_refresh(intptr_t) {}
