#pragma once
// PortAudio's host APIs and their output devices, and the order in which
// init_audio_io tries them.
//
// PortAudioSession holds PortAudio initialised for its lifetime (PortAudio
// counts initialisations, so a session inside another is fine). On JACK the
// library's client is named after ZONDA_JACK_CLIENT, or "zonda".
//
// Main thread only.
#include <string>
#include <vector>

#include "platform/ilvex/core/AudioSettings.h"

namespace zonda::ilvex {

class PortAudioSession {
 public:
  PortAudioSession();
  ~PortAudioSession();
  PortAudioSession(const PortAudioSession&) = delete;
  PortAudioSession& operator=(const PortAudioSession&) = delete;
  bool Ok() const { return ok_; }
  // Leaves PortAudio initialised for the rest of the process (see MarkJackAbandoned).
  void Abandon() { ok_ = false; }

 private:
  bool ok_ = false;
};

struct PaDeviceEntry {
  int index = -1;  // PortAudio device index
  std::string name;
  int inputs = 0;
  int outputs = 0;
  bool isDefault = false;  // the host API's default output device
};

struct PaHostApiEntry {
  int index = -1;  // PortAudio host API index
  std::string name;
  std::vector<PaDeviceEntry> devices;  // only devices with outputs
};

// Needs a live session.
std::vector<PaHostApiEntry> ListHostApis();

// Devices to try, best first, one per host API: the chosen host API with the
// chosen device (or its default); unless the host API is pinned, then JACK,
// PortAudio's default host API and the rest, each with its default output
// device. Needs a live session.
std::vector<PaDeviceEntry> DeviceCandidates(const AudioSettings& settings);

// PortAudio's JACK code waits forever in stop, close and terminate once the
// JACK server has gone away under an open stream. Such a stream is abandoned
// with PortAudio left initialised, and from then on this process does not try
// JACK again (other host APIs still work).
void MarkJackAbandoned();
bool JackAbandoned();

// The JACK client name the library uses.
std::string JackClientName();

}  // namespace zonda::ilvex
