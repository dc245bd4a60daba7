#pragma once
// MIDI ports of the system (ALSA sequencer and JACK MIDI, through RtMidi).
//
// TMidiInput takes short messages on the MIDI library's thread into a ring
// of 1024 entries (active sensing and clock dropped, a full ring drops the
// new message and counts an overflow) and announces them through Notify,
// which the program turns into a queued call on the main thread; the main
// thread takes them with GetMidiEvent. TMidiOutput sends short messages.
//
//   TMidiInput in;
//   in.Notify = [] { post HandleMidiInput to the main thread };
//   if (in.Open(ListMidiInputs()[k])) ...   // a missing device: false, never a throw
//   while (auto e = in.GetMidiEvent()) ...
//
// A port is named "<api>:<port name>" ("alsa:..." or "jack:..."), so a
// choice made once is found again after the device is replugged.
//
// Threads: Open, Close, GetMidiEvent, PutShort on the main thread; the ring
// is single-producer (the library's thread) single-consumer (main).
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace zonda {

// Every input / output port the system offers now, as "<api>:<name>".
// Without jack only the ALSA sequencer is asked (asking JACK registers a
// client with the server, which a poll should not do every time).
std::vector<std::string> ListMidiInputs(bool jack = true);
std::vector<std::string> ListMidiOutputs(bool jack = true);
// The first port whose name contains the controller's name, or "".
std::string FindMidiPort(const std::vector<std::string>& ports, const std::string& name);

struct TMidiEvent {
  uint8_t Status = 0, Data1 = 0, Data2 = 0;
  uint32_t Time = 0;  // ms since the port opened
};

class TMidiInput {
 public:
  static constexpr int32_t kCapacity = 1024;
  TMidiInput();
  ~TMidiInput();
  TMidiInput(const TMidiInput&) = delete;
  TMidiInput& operator=(const TMidiInput&) = delete;

  // Connects to port (a name from ListMidiInputs); false when it is not there
  // or cannot be opened.
  bool Open(const std::string& port);
  void Close();
  bool IsOpen() const { return open_; }
  const std::string& PortName() const { return port_; }

  int32_t MessageCount() const;
  std::optional<TMidiEvent> GetMidiEvent();
  int64_t Overflows() const { return overflows_.load(std::memory_order_relaxed); }

  // Called on the library's thread after each buffered message or overflow.
  std::function<void()> Notify;

  // The library's thread (or tests): one incoming message.
  void Receive(const uint8_t* bytes, size_t count, double secondsSincePrevious);

 private:
  std::unique_ptr<RtMidiIn> in_;
  bool open_ = false;
  std::string port_;
  std::array<TMidiEvent, kCapacity> ring_{};
  std::atomic<uint64_t> written_{0}, read_{0};
  std::atomic<int64_t> overflows_{0};
  double clock_ = 0.0;  // the library's thread
};

class TMidiOutput {
 public:
  TMidiOutput();
  ~TMidiOutput();
  TMidiOutput(const TMidiOutput&) = delete;
  TMidiOutput& operator=(const TMidiOutput&) = delete;

  bool Open(const std::string& port);
  bool Close();
  bool IsOpen() const { return open_; }
  // Sends status, data1, data2; false when closed or the send failed.
  bool PutShort(uint8_t status, uint8_t data1, uint8_t data2);

 private:
  std::unique_ptr<RtMidiOut> out_;
  bool open_ = false;
};

}  // namespace zonda
