#include "skin/SliderAction.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zonda {

TSliderAction::TSliderAction(int index, std::string name, std::string hint, int minimum, int maximum, int value,
                             int stepDivisor, const THintWords* words)
    : index_(index),
      name_(std::move(name)),
      hint_(std::move(hint)),
      words_(words),
      value_(value),
      minimum_(minimum),
      maximum_(maximum),
      divisor_(stepDivisor) {}

void TSliderAction::Bind(int controlIndex, TSliderControl& control) {
  // Minimum, maximum, value in that order: a round slider resets its value when
  // its range changes, so the value has to come last.
  control.SetMinimum(minimum_);
  control.SetMaximum(maximum_);
  control.SetValue(value_);
  control.SetMarker(marker_);
  control.SetTag(tag_);
  control.SetFineDrag(fineDrag_);
  control_ = &control;
  controlIndex_ = controlIndex;
  control.SetHint(FullHint());
  control.SetHandlers(&Handlers);
}

void TSliderAction::Unbind() {
  if (control_) {
    minimum_ = control_->Minimum();
    maximum_ = control_->Maximum();
    value_ = control_->Value();
    tag_ = control_->Tag();
    fineDrag_ = control_->FineDrag();
  }
  control_ = nullptr;
  controlIndex_ = -1;
}

int TSliderAction::Value() const { return control_ ? control_->Value() : value_; }

void TSliderAction::SetValue(int value) {
  value_ = value;
  if (control_) {
    control_->SetValue(value);
    value_ = control_->Value();
  }
}

void TSliderAction::SetMarker(int value) {
  marker_ = value;
  if (control_) control_->SetMarker(value);
}

int TSliderAction::Minimum() const { return control_ ? control_->Minimum() : minimum_; }

void TSliderAction::SetMinimum(int value) {
  minimum_ = value;
  if (control_) control_->SetMinimum(value);
}

int TSliderAction::Maximum() const { return control_ ? control_->Maximum() : maximum_; }

void TSliderAction::SetMaximum(int value) {
  maximum_ = value;
  if (control_) control_->SetMaximum(value);
}

int TSliderAction::Tag() const { return control_ ? control_->Tag() : tag_; }

void TSliderAction::SetTag(int tag) {
  tag_ = tag;
  if (control_) control_->SetTag(tag);
}

bool TSliderAction::FineDrag() const { return control_ ? control_->FineDrag() : fineDrag_; }

void TSliderAction::SetFineDrag(bool fine) {
  fineDrag_ = fine;
  if (control_) control_->SetFineDrag(fine);
}

int TSliderAction::KeyStep() const {
  const double range = static_cast<double>(Maximum()) - static_cast<double>(Minimum());
  const double step = std::nearbyint(range / (40.0 * std::max(1, divisor_)));  // ties to even
  return step == 0.0 ? 1 : static_cast<int>(step);
}

void TSliderAction::SetHintText(const std::string& hint) {
  hint_ = hint;
  RebuildHint();
}

void TSliderAction::SetShortcutText(const std::string& text) {
  shortcut_ = text;
  RebuildHint();
}

std::string TSliderAction::FullHint() const {
  static const THintWords kNoWords;
  return BuildShortcutHint(hint_, shortcut_, words_ ? *words_ : kNoWords);
}

void TSliderAction::RebuildHint() {
  if (control_) control_->SetHint(FullHint());
}

bool TSliderAction::MidiControl(int channel, int controller, bool inverted, int value) {
  // An assigned controller knob asks with controller -1: it drives only an
  // action without a controller of its own.
  if (controller != MidiController) return false;
  if (MidiChannel != -1 && MidiChannel != channel) return false;
  int c = std::clamp(value, 0, 127);
  if (inverted) c = 127 - c;
  const double lo = Minimum();
  const double range = static_cast<double>(Maximum()) - lo;
  SetValue(static_cast<int>(std::nearbyint(lo + range * (c + 1) / 128.0)));
  return true;
}

bool TSliderAction::KeyDecrease(uint16_t key, uint8_t modifiers) {
  if (DecreaseKey == 0 || key != DecreaseKey || modifiers != DecreaseModifiers) return false;
  const int64_t v = static_cast<int64_t>(Value()) - KeyStep();
  SetValue(static_cast<int>(std::max<int64_t>(Minimum(), std::min<int64_t>(Maximum(), v))));
  return true;
}

bool TSliderAction::KeyIncrease(uint16_t key, uint8_t modifiers) {
  if (IncreaseKey == 0 || key != IncreaseKey || modifiers != IncreaseModifiers) return false;
  const int64_t v = static_cast<int64_t>(Value()) + KeyStep();
  SetValue(static_cast<int>(std::max<int64_t>(Minimum(), std::min<int64_t>(Maximum(), v))));
  return true;
}

}  // namespace zonda
