#include "engine/IlvexLibrary.h"

#include <dlfcn.h>

#include "platform/ProgramDir.h"

namespace zonda {

namespace {

template <typename Fn>
void Bind(void* handle, const char* name, Fn& slot, std::vector<std::string>* missing) {
  // POSIX guarantees object and function pointers convert through dlsym's void*.
  slot = reinterpret_cast<Fn>(dlsym(handle, name));
  if (slot == nullptr && missing != nullptr) missing->emplace_back(name);
}

}  // namespace

IlvexLibrary::~IlvexLibrary() { Unload(); }

bool IlvexLibrary::Load() { return Load(ProgramPath("/libilvex.so")); }

bool IlvexLibrary::Load(const std::string& path) {
  Unload();
  lastError_.clear();
  // NODELETE: the library brings Qt, PortAudio and libjack with their own
  // threads and exit handlers; its code must stay mapped after Unload.
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) {
    const char* error = dlerror();
    lastError_ = error != nullptr ? error : "cannot load " + path;
    return false;
  }
  Bind(handle_, "init_audio_io", initAudioIO_, &missing_);
  Bind(handle_, "deinit_audio_io", deinitAudioIO_, &missing_);
  Bind(handle_, "get_latency", getLatency_, &missing_);
  Bind(handle_, "audio_control_panel", audioControlPanel_, &missing_);
  Bind(handle_, "get_mpeg_first_frame_pos", getMpegFirstFramePos_, &missing_);
  Bind(handle_, "vst_init", vstInit_, &missing_);
  Bind(handle_, "vst_deinit", vstDeinit_, &missing_);
  Bind(handle_, "vst_enumerate_plugins", vstEnumeratePlugins_, &missing_);
  Bind(handle_, "vst_load", vstLoad_, &missing_);
  Bind(handle_, "vst_unload", vstUnload_, &missing_);
  Bind(handle_, "vst_process", vstProcess_, &missing_);
  Bind(handle_, "vst_show_editor", vstShowEditor_, &missing_);
  Bind(handle_, "vst_gui_idle_refresh", vstGuiIdleRefresh_, &missing_);
  Bind(handle_, "ilvex_set_restart_callback", setRestartCallback_, nullptr);  // optional, not one of the thirteen
  return true;
}

void IlvexLibrary::Unload() {
  if (audioOpen_) DeinitAudioIO();
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  Clear();
}

void IlvexLibrary::Clear() {
  audioOpen_ = false;
  missing_.clear();
  initAudioIO_ = nullptr;
  deinitAudioIO_ = nullptr;
  getLatency_ = nullptr;
  audioControlPanel_ = nullptr;
  getMpegFirstFramePos_ = nullptr;
  vstInit_ = nullptr;
  vstDeinit_ = nullptr;
  vstEnumeratePlugins_ = nullptr;
  vstLoad_ = nullptr;
  vstUnload_ = nullptr;
  vstProcess_ = nullptr;
  vstShowEditor_ = nullptr;
  vstGuiIdleRefresh_ = nullptr;
  setRestartCallback_ = nullptr;
}

int32_t IlvexLibrary::InitAudioIO(void* windowHandle, IlvexAudioCallback input, IlvexAudioCallback output) {
  if (initAudioIO_ == nullptr) return 0;
  audioOpen_ = true;  // even a failed init may have left something to close
  return initAudioIO_(windowHandle, input, output);
}

void IlvexLibrary::DeinitAudioIO() {
  if (deinitAudioIO_ != nullptr) deinitAudioIO_();
  audioOpen_ = false;
}

int32_t IlvexLibrary::GetLatency() { return getLatency_ != nullptr ? getLatency_() : 0; }

void IlvexLibrary::AudioControlPanel() {
  if (audioControlPanel_ != nullptr) audioControlPanel_();
}

int32_t IlvexLibrary::GetMpegFirstFramePos(const char* fileName) const {
  return getMpegFirstFramePos_ != nullptr && fileName != nullptr ? getMpegFirstFramePos_(fileName) : -1;
}

void IlvexLibrary::VstInit(void* mainWindowHandle) {
  if (vstInit_ != nullptr) vstInit_(mainWindowHandle);
}

void IlvexLibrary::VstDeinit() {
  if (vstDeinit_ != nullptr) vstDeinit_();
}

void IlvexLibrary::VstEnumeratePlugins(IlvexPluginCallback callback) {
  if (vstEnumeratePlugins_ != nullptr && callback != nullptr) vstEnumeratePlugins_(callback);
}

intptr_t IlvexLibrary::VstLoad(int32_t pluginIndex) { return vstLoad_ != nullptr ? vstLoad_(pluginIndex) : 0; }

void IlvexLibrary::VstUnload(intptr_t instance) {
  if (vstUnload_ != nullptr) vstUnload_(instance);
}

void IlvexLibrary::VstProcess(intptr_t instance, float* stereoInterleaved, int32_t frames) {
  if (vstProcess_ != nullptr) vstProcess_(instance, stereoInterleaved, frames);
}

void IlvexLibrary::VstShowEditor(intptr_t instance, int32_t show) {
  if (vstShowEditor_ != nullptr) vstShowEditor_(instance, show);
}

void IlvexLibrary::VstGuiIdleRefresh(intptr_t instance) {
  if (vstGuiIdleRefresh_ != nullptr) vstGuiIdleRefresh_(instance);
}

bool IlvexLibrary::SetRestartCallback(IlvexRestartCallback callback) {
  if (setRestartCallback_ == nullptr) return false;
  setRestartCallback_(callback);
  return true;
}

}  // namespace zonda
