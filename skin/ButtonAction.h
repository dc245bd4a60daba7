#pragma once
// TButtonAction: the state and handlers behind one skin button.
//
// Holds the switch state (selected), the lit flag, the tag, the hint and the
// keyboard/MIDI shortcut of one entry of the button table. Readers and setters
// go to the bound control when there is one (setting writes both), else to the
// action. Keyboard and MIDI shortcuts match whether or not a control is bound;
// only a bound action presses or releases its button.
//
// Main thread only (skin loader, main-window handlers, keyboard hook, MIDI dispatch).
#include <cstdint>
#include <string>

#include "skin/ActionControl.h"
#include "skin/HintText.h"

namespace zonda {

class TButtonAction {
 public:
  // Modifier bits of KeyModifiers.
  static constexpr uint8_t kShift = 1, kAlt = 2, kCtrl = 4;

  TButtonAction(int index, std::string name, std::string hint, const THintWords* words);

  int Index() const { return index_; }
  const std::string& Name() const { return name_; }

  // Pushes selected, lit, tag, hint and handlers into the control.
  void Bind(int controlIndex, TButtonControl& control);
  // Copies selected, lit and tag back; forgets the control.
  void Unbind();
  int ControlIndex() const { return controlIndex_; }
  bool IsBound() const { return control_ != nullptr; }

  bool Selected() const;
  void SetSelected(bool selected);
  bool Lit() const;
  void SetLit(bool lit);
  int Tag() const;
  void SetTag(int tag);

  const std::string& HintText() const { return hint_; }
  const std::string& ShortcutText() const { return shortcut_; }
  // Both store, and rebuild the bound control's hint at once.
  void SetHintText(const std::string& hint);
  void SetShortcutText(const std::string& text);
  // The hint a bound control shows: hint plus the shortcut line.
  std::string FullHint() const;
  void RebuildHint();

  // Shortcut entry points; each returns whether the message was this action's.
  bool MidiNoteOn(int channel, int note);
  bool MidiNoteOff(int channel, int note);
  bool KeyDown(uint16_t key, uint8_t modifiers);
  bool KeyUp(uint16_t key);

  TButtonHandlers Handlers;
  int MidiChannel = -1;  // -1: any channel
  int MidiNote = -1;     // -1: none
  uint16_t Key = 0;      // virtual key code, 0: none
  uint8_t KeyModifiers = 0;

 private:
  bool MidiMatches(int channel, int note) const;

  int index_;
  std::string name_;
  std::string hint_;
  std::string shortcut_;
  const THintWords* words_;
  int controlIndex_ = -1;
  TButtonControl* control_ = nullptr;
  bool selected_ = false;
  bool lit_ = false;
  int tag_ = 0;
};

}  // namespace zonda
