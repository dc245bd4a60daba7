#include "skin/TextAction.h"

#include <utility>

namespace zonda {

TTextAction::TTextAction(int index, std::string name, std::string hint, std::string text, bool ellipsis)
    : index_(index), name_(std::move(name)), hint_(std::move(hint)), text_(std::move(text)), ellipsis_(ellipsis) {}

void TTextAction::Bind(int controlIndex, TTextControl& control) {
  control.SetEllipsis(ellipsis_);
  control.SetText(text_);
  control.SetTag(tag_);
  control.SetHint(hint_);
  control.SetHandlers(&Handlers);
  control_ = &control;
  controlIndex_ = controlIndex;
}

void TTextAction::Unbind() {
  if (control_) {
    text_ = control_->Text();
    tag_ = control_->Tag();
  }
  control_ = nullptr;
  controlIndex_ = -1;
}

const std::string& TTextAction::Text() const { return control_ ? control_->Text() : text_; }

void TTextAction::SetText(const std::string& text) {
  text_ = text;
  if (control_) control_->SetText(text);
}

int TTextAction::Tag() const { return control_ ? control_->Tag() : tag_; }

void TTextAction::SetTag(int tag) {
  tag_ = tag;
  if (control_) control_->SetTag(tag);
}

void TTextAction::SetHintText(const std::string& hint) {
  hint_ = hint;
  if (control_) control_->SetHint(hint_);
}

}  // namespace zonda
