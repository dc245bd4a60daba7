#pragma once
// TMidiMapping: what MIDI messages do in the program, and the controller's
// lamps. The controller's own controls have a fixed layout (search, scratch,
// jog wheels, line inputs, four assignable knobs and buttons); every other
// note and controller reaches the skin actions that learned it.
//
//   TMidiMapping map(actions, deckHooks);
//   map.AssignKnob(0, "crossfader");
//   map.Handle(event);                  // or HandleAll(input) per notification
//   map.SetControllerLamp(7, true);     // sent only when it changes
//
// Main thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "control/MidiPorts.h"

namespace zonda {

class TActionTables;

// The deck operations of the fixed layout; d is 0 (A) or 1 (B).
struct TMidiDeckHooks {
  std::function<void(int d, bool forward, bool press)> Search;  // fast search held / released
  std::function<void(int d)> ToggleScratch;
  std::function<void(int d, bool backwards)> Jog;                // one jog step
  std::function<bool(int d)> ToggleLineIn;                       // the line input's new state
};

class TMidiMapping {
 public:
  static constexpr int kLamps = 25;
  TMidiMapping(TActionTables& actions, TMidiDeckHooks hooks) : actions_(actions), hooks_(std::move(hooks)) {}

  // Controller knob / button k (0..3) drives the named action; an unknown
  // name (or "no action") leaves it unassigned.
  void AssignKnob(int k, const std::string& sliderAction);
  void AssignButton(int k, const std::string& buttonAction);
  int AssignedKnob(int k) const { return knobs_.at(size_t(k)); }
  int AssignedButton(int k) const { return buttons_.at(size_t(k)); }

  // One message; the channel is the status byte's low four bits.
  void Handle(const TMidiEvent& e);
  // Every waiting message of the input; discarded while not running.
  void HandleAll(TMidiInput& input, bool running);

  // Lamps go to this output (null: none is open, nothing is sent).
  void SetOutput(TMidiOutput* output) { output_ = output; }
  // Control change 0xB0, controller lamp, 64 on / 0 off; only on a change.
  void SetControllerLamp(int lamp, bool on);
  bool LampState(int lamp) const { return lamp >= 0 && lamp <= kLamps + 1 ? lamps_[size_t(lamp)] : false; }
  // Program change 0xC0: 1 microphone, 0 phono, when autoSelect.
  void SelectInputAType(bool mic, bool autoSelect);
  // Lamps 1..25 in order, a 5 ms pause after every fifth.
  void SetAllLamps(bool on);
  bool AutoSelectInputType = true;

 private:
  TActionTables& actions_;
  TMidiDeckHooks hooks_;
  std::array<int, 4> knobs_{-1, -1, -1, -1};
  std::array<int, 4> buttons_{-1, -1, -1, -1};
  std::array<bool, kLamps + 2> lamps_{};
  TMidiOutput* output_ = nullptr;
};

}  // namespace zonda
