#pragma once
// TMidiControl: the program's MIDI. Opens the chosen input and output port
// (by default the DJ controller's, "ZC-2000", when present), hands incoming
// messages to the mapping on the main thread, switches the lamps on and off
// at start and shutdown, and finds a port again within two seconds after it
// was unplugged and plugged back in. Without a device the program runs on
// and says so in the configuration window.
//
//   TMidiControl midi(actions, deckHooks, running);
//   midi.Choose(config.MidiInputPort, config.MidiOutputPort);
//
// Main thread only (the input's notification arrives on the MIDI library's
// thread and only queues a call here).
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "control/MidiMapping.h"
#include "control/MidiPorts.h"

namespace zonda {

inline constexpr const char* kControllerName = "ZC-2000";

class TMidiControl : public QObject {
 public:
  TMidiControl(TActionTables& actions, TMidiDeckHooks hooks, const std::atomic<uint8_t>& running);
  ~TMidiControl() override;

  // The ports to use ("" each: the controller's when present); opens them now
  // and keeps looking for them while they are absent.
  void Choose(const std::string& inputPort, const std::string& outputPort);
  // Lamps 1..25 on, and off again 500 ms later (the controller's start-up test).
  void LampTest();
  // All lamps off, both ports closed.
  void Shutdown();

  // Learn mode: incoming messages go here instead of to the mapping.
  std::function<void(const TMidiEvent&)> Learn;
  // After the input port opened (its name): the program loads what was
  // learned on that port.
  std::function<void(const std::string& port)> InputOpened;

  TMidiMapping& Mapping() { return mapping_; }
  TMidiInput& Input() { return input_; }
  TMidiOutput& Output() { return output_; }
  // "MIDI in: <port>, out: <port>" or the reason there is none.
  std::string StatusText() const;

 private:
  // Every two seconds: the port lists are read on a thread of their own
  // (asking JACK takes tens of milliseconds), then applied here.
  void Poll();
  void ApplyPorts(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);
  void Drain();
  std::string Wanted(bool input) const;
  void OpenInput(const std::string& port);

  TMidiMapping mapping_;
  TMidiInput input_;
  TMidiOutput output_;
  const std::atomic<uint8_t>& running_;
  std::string inputChoice_, outputChoice_;
  std::atomic<bool> pending_{false};
  QTimer poll_;
  std::thread lister_;  // the port lists being read, joined before the next
  std::atomic<bool> listing_{false};
};

}  // namespace zonda
