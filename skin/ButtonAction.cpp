#include "skin/ButtonAction.h"

#include <utility>

namespace zonda {

TButtonAction::TButtonAction(int index, std::string name, std::string hint, const THintWords* words)
    : index_(index), name_(std::move(name)), hint_(std::move(hint)), words_(words) {}

void TButtonAction::Bind(int controlIndex, TButtonControl& control) {
  control.SetSelected(selected_);
  control.SetLit(lit_);
  control.SetTag(tag_);
  control_ = &control;
  controlIndex_ = controlIndex;
  control.SetHint(FullHint());
  control.SetHandlers(&Handlers);
}

void TButtonAction::Unbind() {
  if (control_) {
    selected_ = control_->Selected();
    lit_ = control_->Lit();
    tag_ = control_->Tag();
  }
  control_ = nullptr;
  controlIndex_ = -1;
}

bool TButtonAction::Selected() const { return control_ ? control_->Selected() : selected_; }

void TButtonAction::SetSelected(bool selected) {
  selected_ = selected;
  if (control_) control_->SetSelected(selected);
}

bool TButtonAction::Lit() const { return control_ ? control_->Lit() : lit_; }

void TButtonAction::SetLit(bool lit) {
  lit_ = lit;
  if (control_) control_->SetLit(lit);
}

int TButtonAction::Tag() const { return control_ ? control_->Tag() : tag_; }

void TButtonAction::SetTag(int tag) {
  tag_ = tag;
  if (control_) control_->SetTag(tag);
}

void TButtonAction::SetHintText(const std::string& hint) {
  hint_ = hint;
  RebuildHint();
}

void TButtonAction::SetShortcutText(const std::string& text) {
  shortcut_ = text;
  RebuildHint();
}

std::string TButtonAction::FullHint() const {
  static const THintWords kNoWords;
  return BuildShortcutHint(hint_, shortcut_, words_ ? *words_ : kNoWords);
}

void TButtonAction::RebuildHint() {
  if (control_) control_->SetHint(FullHint());
}

bool TButtonAction::MidiMatches(int channel, int note) const {
  // A controller button assigned to this action asks with note -1: it
  // presses only an action without a note of its own.
  return note == MidiNote && (MidiChannel == -1 || MidiChannel == channel);
}

bool TButtonAction::MidiNoteOn(int channel, int note) {
  if (!MidiMatches(channel, note)) return false;
  if (control_) control_->Press();
  return true;
}

bool TButtonAction::MidiNoteOff(int channel, int note) {
  if (!MidiMatches(channel, note)) return false;
  if (control_) control_->Release();
  return true;
}

bool TButtonAction::KeyDown(uint16_t key, uint8_t modifiers) {
  if (Key == 0 || key != Key || modifiers != KeyModifiers) return false;
  if (control_) control_->Press();
  return true;
}

bool TButtonAction::KeyUp(uint16_t key) {
  if (Key == 0 || key != Key) return false;
  if (control_) control_->Release();
  return true;
}

}  // namespace zonda
