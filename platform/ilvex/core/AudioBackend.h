#pragma once
// A running audio device: something that calls a BlockRouter once per block
// on its own thread until stopped.
//
// Main thread: Start, Stop, destruction. Any thread: the read-outs.
#include <cstdint>
#include <string>

namespace zonda::ilvex {

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // Opens and starts the device; false when it cannot be opened (then nothing runs).
  virtual bool Start() = 0;
  // Stops the callbacks; when it returns no callback runs any more. Idempotent.
  virtual void Stop() = 0;

  // Frames per callback: the same for every block while running.
  virtual int BlockFrames() const = 0;
  // Channels the device really has open (0 inputs is possible).
  virtual int OutputChannels() const = 0;
  virtual int InputChannels() const = 0;
  // Underruns/overruns seen (PortAudio status flags, late null-device blocks).
  virtual int64_t Xruns() const = 0;
  // For logs and the control panel: "JACK Audio Connection Kit / system", "null".
  virtual std::string Description() const = 0;
};

}  // namespace zonda::ilvex
