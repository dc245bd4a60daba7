#include "skin/BeatDisplayAction.h"

#include <utility>

namespace zonda {

TBeatDisplayAction::TBeatDisplayAction(int index, std::string name, std::string hint)
    : index_(index), name_(std::move(name)), hint_(std::move(hint)) {}

void TBeatDisplayAction::Bind(int controlIndex, TBeatDisplayControl& control) {
  control.SetStandardWave(standardWave_);
  control.SetBeatDiff(beatDiff_);
  control.SetHint(hint_);
  control.SetHandlers(&Handlers);
  control_ = &control;
  controlIndex_ = controlIndex;
  if (OnDisplayPoints) OnDisplayPoints(2 * control.Width());
}

void TBeatDisplayAction::Unbind() {
  const bool wasBound = control_ != nullptr;
  control_ = nullptr;
  controlIndex_ = -1;
  if (wasBound && OnDisplayPoints) OnDisplayPoints(kUnboundDisplayPoints);
}

void TBeatDisplayAction::SetDisplayData(std::span<const int16_t> beats) {
  if (control_) control_->SetDisplayData(beats);
}

void TBeatDisplayAction::SetOverviewData(std::span<const int16_t> wave) {
  if (control_) control_->SetOverviewData(wave);
}

void TBeatDisplayAction::SetStandardWave(bool standard) {
  standardWave_ = standard;
  if (control_) control_->SetStandardWave(standard);
}

void TBeatDisplayAction::SetBeatDiff(int hundredthsOfBeat) {
  beatDiff_ = hundredthsOfBeat;
  if (control_) control_->SetBeatDiff(hundredthsOfBeat);
}

int TBeatDisplayAction::DisplayLeft() const { return control_ ? control_->Left() : 0; }
int TBeatDisplayAction::DisplayTop() const { return control_ ? control_->Top() : 0; }
int TBeatDisplayAction::DisplayWidth() const { return control_ ? control_->Width() : 0; }
int TBeatDisplayAction::DisplayHeight() const { return control_ ? control_->Height() : 0; }

void TBeatDisplayAction::SetHintText(const std::string& hint) {
  hint_ = hint;
  if (control_) control_->SetHint(hint_);
}

}  // namespace zonda
