#pragma once
// The program's binding to the audio device library libilvex.so.
//
// Load() dlopens ProgramPath("/libilvex.so") and binds the thirteen exports by
// name (plus the optional restart registration). A missing export stays null
// and its wrapper does nothing and returns the stated default, so a partial
// library only loses its own features; only a library that cannot be opened
// makes Load() fail (start-up then ends, as the program body decides).
//
//   IlvexLibrary ilvex;
//   if (!ilvex.Load()) return 1;                 // no libilvex.so
//   if (ilvex.InitAudioIO(window, &OnInput, &OnOutput) == 0) ...  // no device
//   int frames = ilvex.GetLatency();
//
// Threads: Load, Unload and the audio/VST wrappers on the main thread (the
// callbacks themselves then run on the library's audio thread);
// GetMpegFirstFramePos from any thread once loaded (deck workers).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ilvex/Ilvex.h"

namespace zonda {

class IlvexLibrary {
 public:
  IlvexLibrary() = default;
  ~IlvexLibrary();
  IlvexLibrary(const IlvexLibrary&) = delete;
  IlvexLibrary& operator=(const IlvexLibrary&) = delete;

  // The installed library, ProgramPath("/libilvex.so").
  bool Load();
  // A library at an explicit path (tests). Unloads any previous one first.
  bool Load(const std::string& path);
  // Closes the audio device if still open, then releases the library (which
  // stays mapped: it is opened RTLD_NODELETE); afterwards every export is null.
  void Unload();

  bool Loaded() const { return handle_ != nullptr; }
  // dlerror() text of the last failed Load.
  const std::string& LastError() const { return lastError_; }
  // Names of the thirteen exports the loaded library lacks.
  const std::vector<std::string>& MissingExports() const { return missing_; }

  // Wrappers; [x] is what a missing export gives.
  int32_t InitAudioIO(void* windowHandle, IlvexAudioCallback input, IlvexAudioCallback output);  // [0]
  void DeinitAudioIO();
  int32_t GetLatency();  // [0]
  void AudioControlPanel();
  int32_t GetMpegFirstFramePos(const char* fileName) const;  // [-1]
  void VstInit(void* mainWindowHandle);
  void VstDeinit();
  void VstEnumeratePlugins(IlvexPluginCallback callback);
  intptr_t VstLoad(int32_t pluginIndex);  // [0]
  void VstUnload(intptr_t instance);
  void VstProcess(intptr_t instance, float* stereoInterleaved, int32_t frames);
  void VstShowEditor(intptr_t instance, int32_t show);
  void VstGuiIdleRefresh(intptr_t instance);
  // Registers the program's audio-restart handler; false when the library cannot take one.
  bool SetRestartCallback(IlvexRestartCallback callback);

 private:
  void Clear();

  void* handle_ = nullptr;
  bool audioOpen_ = false;  // init_audio_io called since the last deinit_audio_io
  std::string lastError_;
  std::vector<std::string> missing_;

  IlvexInitAudioIO initAudioIO_ = nullptr;
  IlvexDeinitAudioIO deinitAudioIO_ = nullptr;
  IlvexGetLatency getLatency_ = nullptr;
  IlvexAudioControlPanel audioControlPanel_ = nullptr;
  IlvexGetMpegFirstFramePos getMpegFirstFramePos_ = nullptr;
  IlvexVstInit vstInit_ = nullptr;
  IlvexVstDeinit vstDeinit_ = nullptr;
  IlvexVstEnumeratePlugins vstEnumeratePlugins_ = nullptr;
  IlvexVstLoad vstLoad_ = nullptr;
  IlvexVstUnload vstUnload_ = nullptr;
  IlvexVstProcess vstProcess_ = nullptr;
  IlvexVstShowEditor vstShowEditor_ = nullptr;
  IlvexVstGuiIdleRefresh vstGuiIdleRefresh_ = nullptr;
  IlvexSetRestartCallback setRestartCallback_ = nullptr;
};

}  // namespace zonda
