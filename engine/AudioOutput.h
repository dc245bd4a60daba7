#pragma once
// TAudioOutput: the two callbacks of the audio device library and the device
// block set-up.
//
// The library calls the input callback and then the output callback once per
// device block on its audio thread. The output callback has the mixer produce
// one block of master and one of monitor output (deck PCM) and hands both to
// the device as four float channels scaled by 3e-5 (full scale 32767 becomes
// 0.98301); the input callback stores the four input channels as the mixer's
// line A and line B, scaled by 32767 and limited to 16 bits.
//
//   TAudioOutput output(mixer);
//   output.Open(ilvex, windowHandle);        // init_audio_io + SetupBlockSizes
//   label = output.LatencyText();            // "Latency: 11 ms at 44100 Hz sample rate"
//   ...                                      // message 2676: output.Restart(ilvex, windowHandle)
//   output.Close(ilvex);
//
// The device library's callbacks carry no context pointer, so one TAudioOutput
// at a time is installed behind the plain functions AudioOutputCallback and
// AudioInputCallback (Open installs it, Close and the destructor remove it).
//
// Threads: OnOutput/OnInput (and the two plain callbacks) on the audio
// thread, noexcept and allocation-free; everything else on the main thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "engine/AudioMixer.h"

namespace zonda {

class IlvexLibrary;

inline constexpr float kOutputSampleScale = 3e-5f;
inline constexpr float kInputSampleScale = 32767.0f;

struct TBlockSizes {
  int32_t DeviceFrames = 0;    // the device block, from get_latency
  int32_t SubBlockFrames = 0;  // D: the divisor of DeviceFrames in 2..499 closest to 250 (smaller on a tie), else DeviceFrames
  int32_t SubBlocks = 0;       // DeviceFrames div D
};

// Any thread: the sub-block rule. deviceFrames < 1 gives SubBlocks 1 with D 0.
TBlockSizes ComputeBlockSizes(int32_t deviceFrames) noexcept;
// Any thread: "Latency: " frames*40 div 1764 " ms at 44100 Hz sample rate".
std::string LatencyText(int32_t deviceFrames);

class TAudioOutput {
 public:
  explicit TAudioOutput(TAudioMixer& mixer);
  ~TAudioOutput();
  TAudioOutput(const TAudioOutput&) = delete;
  TAudioOutput& operator=(const TAudioOutput&) = delete;

  // Main thread: installs this output behind the plain callbacks, opens the
  // device and sets the block sizes. False (0 from init_audio_io) when no
  // device could be opened; the program's start-up then ends with its message.
  bool Open(IlvexLibrary& ilvex, void* windowHandle);
  // Main thread, audio restart (message 2676): SubBlocks := 1, deinit, init,
  // SetupBlockSizes. The result of init is reported but, as at a restart, not acted on.
  bool Restart(IlvexLibrary& ilvex, void* windowHandle);
  // Main thread: closes the device and uninstalls the callbacks.
  void Close(IlvexLibrary& ilvex);

  // Main thread, after every init_audio_io: sub-blocks from the device block,
  // clears the monitor ring, returns (and keeps) the latency text.
  std::string SetupBlockSizes(int32_t deviceFrames);
  const std::string& LatencyTextShown() const { return latencyText_; }
  TBlockSizes BlockSizes() const { return sizes_; }

  // Audio thread: the callbacks' work. OnOutput returns frames, or 0 with the
  // buffer untouched when the mixer produced nothing (not running, block too large).
  int32_t OnOutput(float* buffer, int32_t frames) noexcept;
  int32_t OnInput(const float* buffer, int32_t frames) noexcept;

  // Main thread: makes this the output behind the plain callbacks (Open does it).
  void Install() noexcept;
  void Uninstall() noexcept;

 private:
  TAudioMixer& mixer_;
  TBlockSizes sizes_;
  std::string latencyText_;
  std::array<int16_t, kMixerAreaFrames * 2> masterOut_{};
  std::array<int16_t, kMixerAreaFrames * 2> monitorOut_{};
};

// The plain functions handed to init_audio_io; they forward to the installed
// TAudioOutput and return 0 when none is installed. Audio thread.
int32_t AudioOutputCallback(float* buffer, int32_t frames) noexcept;
int32_t AudioInputCallback(float* buffer, int32_t frames) noexcept;

}  // namespace zonda
