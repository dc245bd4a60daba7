#include "control/MidiPorts.h"

#include <RtMidi.h>
#include <unistd.h>

namespace zonda {
namespace {

struct TApi {
  RtMidi::Api api;
  const char* prefix;
};
constexpr TApi kApis[] = {{RtMidi::LINUX_ALSA, "alsa:"}, {RtMidi::UNIX_JACK, "jack:"}};

// The library reports a missing sequencer or JACK server through this
// instead of throwing; the caller sees the port absent.
void Silent(RtMidiError::Type, const std::string&, void*) {}

template <class Port>
std::unique_ptr<Port> MakePort(RtMidi::Api api) {
  // Without a sequencer device the library only prints its failure (every
  // poll): ask it for ALSA ports only where there can be some.
  if (api == RtMidi::LINUX_ALSA && access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
  try {
    auto p = std::make_unique<Port>(api, "Zonda");
    p->setErrorCallback(&Silent, nullptr);
    return p;
  } catch (...) {
    return nullptr;  // no ALSA sequencer, no JACK server
  }
}

template <class Port>
std::vector<std::string> ListPorts(bool jack) {
  std::vector<std::string> names;
  for (const TApi& a : kApis) {
    if (!jack && a.api == RtMidi::UNIX_JACK) continue;
    std::unique_ptr<Port> p = MakePort<Port>(a.api);
    if (!p) continue;
    try {
      const unsigned n = p->getPortCount();
      for (unsigned i = 0; i < n; ++i) {
        const std::string name = p->getPortName(i);
        if (!name.empty() && name.find("Zonda") != 0) names.push_back(a.prefix + name);
      }
    } catch (...) {
    }
  }
  return names;
}

// Opens the port of that "<api>:<name>" on a fresh port object; null when absent.
template <class Port>
std::unique_ptr<Port> OpenPort(const std::string& port, const char* ownName) {
  for (const TApi& a : kApis) {
    const std::string prefix = a.prefix;
    if (port.compare(0, prefix.size(), prefix) != 0) continue;
    std::unique_ptr<Port> p = MakePort<Port>(a.api);
    if (!p) return nullptr;
    try {
      const unsigned n = p->getPortCount();
      for (unsigned i = 0; i < n; ++i) {
        if (prefix + p->getPortName(i) != port) continue;
        p->openPort(i, ownName);
        if (p->isPortOpen()) return p;
      }
    } catch (...) {
    }
    return nullptr;
  }
  return nullptr;
}

void OnMessage(double delta, std::vector<unsigned char>* message, void* user) {
  if (message != nullptr && !message->empty())
    static_cast<TMidiInput*>(user)->Receive(message->data(), message->size(), delta);
}

}  // namespace

std::vector<std::string> ListMidiInputs(bool jack) { return ListPorts<RtMidiIn>(jack); }
std::vector<std::string> ListMidiOutputs(bool jack) { return ListPorts<RtMidiOut>(jack); }

std::string FindMidiPort(const std::vector<std::string>& ports, const std::string& name) {
  for (const std::string& p : ports)
    if (p.find(name) != std::string::npos) return p;
  return {};
}

TMidiInput::TMidiInput() = default;
TMidiInput::~TMidiInput() { Close(); }

bool TMidiInput::Open(const std::string& port) {
  Close();
  in_ = OpenPort<RtMidiIn>(port, "Zonda MIDI in");
  if (!in_) return false;
  written_.store(0);
  read_.store(0);
  clock_ = 0.0;
  in_->ignoreTypes(true, true, true);  // system exclusive, timing, active sensing
  in_->setCallback(&OnMessage, this);
  open_ = true;
  port_ = port;
  return true;
}

void TMidiInput::Close() {
  if (in_) {
    try {
      in_->cancelCallback();
      in_->closePort();
    } catch (...) {
    }
  }
  in_.reset();  // joins the library's thread: no Receive runs after this
  open_ = false;
  port_.clear();
}

void TMidiInput::Receive(const uint8_t* bytes, size_t count, double secondsSincePrevious) {
  clock_ += secondsSincePrevious;
  const uint8_t status = bytes[0];
  if (status == 0xFE || status == 0xF8 || status == 0xF0) return;  // sensing, clock, system exclusive
  const uint64_t w = written_.load(std::memory_order_relaxed);
  if (w - read_.load(std::memory_order_acquire) >= uint64_t(kCapacity)) {
    overflows_.fetch_add(1, std::memory_order_relaxed);
  } else {
    TMidiEvent& e = ring_[size_t(w % kCapacity)];
    e.Status = status;
    e.Data1 = count > 1 ? bytes[1] : 0;
    e.Data2 = count > 2 ? bytes[2] : 0;
    e.Time = uint32_t(clock_ * 1000.0);
    written_.store(w + 1, std::memory_order_release);
  }
  if (Notify) Notify();
}

int32_t TMidiInput::MessageCount() const {
  return int32_t(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed));
}

std::optional<TMidiEvent> TMidiInput::GetMidiEvent() {
  const uint64_t r = read_.load(std::memory_order_relaxed);
  if (r == written_.load(std::memory_order_acquire)) return std::nullopt;
  const TMidiEvent e = ring_[size_t(r % kCapacity)];
  read_.store(r + 1, std::memory_order_release);
  return e;
}

TMidiOutput::TMidiOutput() = default;
TMidiOutput::~TMidiOutput() { Close(); }

bool TMidiOutput::Open(const std::string& port) {
  Close();
  out_ = OpenPort<RtMidiOut>(port, "Zonda MIDI out");
  open_ = out_ != nullptr;
  return open_;
}

bool TMidiOutput::Close() {
  const bool was = open_;
  if (out_) {
    try {
      out_->closePort();
    } catch (...) {
    }
  }
  out_.reset();
  open_ = false;
  return was;
}

bool TMidiOutput::PutShort(uint8_t status, uint8_t data1, uint8_t data2) {
  if (!open_ || !out_) return false;
  const unsigned char bytes[3] = {status, data1, data2};
  try {
    out_->sendMessage(bytes, (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace zonda
