#pragma once
// TSliderAction: the range, value and handlers behind one linear or round slider.
//
// Value, Minimum and Maximum read from the bound control when there is one.
// Setting a value on a bound action goes through the control, which clamps it
// and fires OnChange; on an unbound action the value is only stored, no handler
// runs, and the next control bound shows it.
//
// Keyboard shortcuts step the value by (maximum - minimum) / (40 x divisor),
// rounded half to even, at least 1. A MIDI controller value c (0..127, or
// 127 - c when inverted) maps to minimum + range x (c + 1) / 128, rounded:
// 127 gives the maximum, 0 gives minimum + range / 128.
//
// Main thread only (skin loader, main-window handlers, keyboard hook, MIDI dispatch).
#include <cstdint>
#include <string>

#include "skin/ActionControl.h"
#include "skin/HintText.h"

namespace zonda {

class TSliderAction {
 public:
  TSliderAction(int index, std::string name, std::string hint, int minimum, int maximum, int value, int stepDivisor,
                const THintWords* words);

  int Index() const { return index_; }
  const std::string& Name() const { return name_; }

  // Pushes minimum, maximum, value, marker, tag and fine drag, then the hint
  // and the handlers: binding itself calls no handler.
  void Bind(int controlIndex, TSliderControl& control);
  // Copies minimum, maximum, value, tag and fine drag back; forgets the control.
  void Unbind();
  int ControlIndex() const { return controlIndex_; }
  bool IsBound() const { return control_ != nullptr; }
  // The bound control is a round slider (false when unbound).
  bool Round() const { return control_ && control_->IsRound(); }

  int Value() const;
  void SetValue(int value);
  int Marker() const { return marker_; }
  void SetMarker(int value);  // -1: no marker
  int Minimum() const;
  void SetMinimum(int value);
  int Maximum() const;
  void SetMaximum(int value);
  int Tag() const;
  void SetTag(int tag);
  bool FineDrag() const;
  void SetFineDrag(bool fine);
  int StepDivisor() const { return divisor_; }
  // The keyboard step for the current range.
  int KeyStep() const;

  const std::string& HintText() const { return hint_; }
  const std::string& ShortcutText() const { return shortcut_; }
  void SetHintText(const std::string& hint);
  void SetShortcutText(const std::string& text);
  std::string FullHint() const;
  void RebuildHint();

  // Shortcut entry points; each returns whether the message was this action's.
  bool MidiControl(int channel, int controller, bool inverted, int value);
  bool KeyDecrease(uint16_t key, uint8_t modifiers);
  bool KeyIncrease(uint16_t key, uint8_t modifiers);

  TSliderHandlers Handlers;
  int MidiChannel = -1;     // -1: any channel
  int MidiController = -1;  // -1: none
  uint16_t DecreaseKey = 0, IncreaseKey = 0;  // virtual key codes, 0: none
  uint8_t DecreaseModifiers = 0, IncreaseModifiers = 0;

 private:
  int index_;
  std::string name_;
  std::string hint_;
  std::string shortcut_;
  const THintWords* words_;
  int controlIndex_ = -1;
  TSliderControl* control_ = nullptr;
  int value_;
  int marker_ = -1;
  int minimum_;
  int maximum_;
  int divisor_;
  int tag_ = 0;
  bool fineDrag_ = false;
};

}  // namespace zonda
