#include "control/MidiMapping.h"

#include <chrono>
#include <thread>

#include "skin/ActionTables.h"

namespace zonda {

void TMidiMapping::AssignKnob(int k, const std::string& sliderAction) {
  if (k < 0 || k > 3) return;
  knobs_[size_t(k)] = actions_.FindSliderAction(sliderAction);
}

void TMidiMapping::AssignButton(int k, const std::string& buttonAction) {
  if (k < 0 || k > 3) return;
  buttons_[size_t(k)] = actions_.FindButtonAction(buttonAction);
}

void TMidiMapping::Handle(const TMidiEvent& e) {
  const int kind = e.Status & 0xF0;
  const int channel = e.Status & 0x0F;
  const int number = e.Data1, value = e.Data2;
  auto call = [](const auto& fn, auto... args) {
    if (fn) fn(args...);
  };
  if (kind == 0xB0) {
    if (number >= 13 && number <= 16) {
      const int slider = knobs_[size_t(number - 13)];
      if (slider >= 0) {
        TSliderAction& s = actions_.Slider(slider);
        s.MidiControl(-1, -1, s.Name() == "crossfader", value);
      }
    } else if (number == 18 || number == 19) {
      const int d = number == 19 ? 0 : 1;
      const bool backwards = value == 64;
      const int jog = actions_.FindSliderAction(d == 0 ? "decka_jw" : "deckb_jw");
      if (jog >= 0) {
        TSliderAction& s = actions_.Slider(jog);
        s.SetValue(((s.Value() + (backwards ? -1 : 1)) % 96 + 96) % 96);
      }
      call(hooks_.Jog, d, backwards);
    } else {
      for (TSliderAction& s : actions_.Sliders()) s.MidiControl(channel, number, false, value);
    }
    return;
  }
  const bool on = kind == 0x90 && value > 0;
  const bool off = kind == 0x80 || (kind == 0x90 && value == 0);
  if (!on && !off) return;
  switch (number) {
    case 0: call(hooks_.Search, 0, false, on); return;
    case 1: call(hooks_.Search, 0, true, on); return;
    case 6: call(hooks_.Search, 1, false, on); return;
    case 7: call(hooks_.Search, 1, true, on); return;
    default: break;
  }
  if (number >= 31 && number <= 34) {
    const int button = buttons_[size_t(number - 31)];
    if (button >= 0) {
      if (on) actions_.Button(button).MidiNoteOn(-1, -1);
      else actions_.Button(button).MidiNoteOff(-1, -1);
    }
    return;
  }
  if (on && (number == 17 || number == 25)) {
    call(hooks_.ToggleScratch, number == 17 ? 0 : 1);
    return;
  }
  if (on && (number == 35 || number == 36)) {
    const bool nowOn = hooks_.ToggleLineIn ? hooks_.ToggleLineIn(number == 35 ? 0 : 1) : false;
    if (number == 35) SelectInputAType(!nowOn, AutoSelectInputType);
    return;
  }
  for (TButtonAction& b : actions_.Buttons()) {
    if (on) b.MidiNoteOn(channel, number);
    else b.MidiNoteOff(channel, number);
  }
}

void TMidiMapping::HandleAll(TMidiInput& input, bool running) {
  while (auto e = input.GetMidiEvent()) {
    if (running) Handle(*e);
  }
}

void TMidiMapping::SetControllerLamp(int lamp, bool on) {
  if (lamp < 0 || lamp > kLamps + 1 || lamps_[size_t(lamp)] == on) return;
  if (output_ == nullptr || !output_->IsOpen()) return;
  output_->PutShort(0xB0, uint8_t(lamp), on ? 64 : 0);  // a failed send is not the DJ's concern
  lamps_[size_t(lamp)] = on;
}

void TMidiMapping::SelectInputAType(bool mic, bool autoSelect) {
  if (!autoSelect || output_ == nullptr || !output_->IsOpen()) return;
  output_->PutShort(0xC0, mic ? 1 : 0, 0);
}

void TMidiMapping::SetAllLamps(bool on) {
  for (int lamp = 1; lamp <= kLamps; ++lamp) {
    SetControllerLamp(lamp, on);
    if (lamp % 5 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace zonda
