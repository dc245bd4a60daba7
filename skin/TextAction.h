#pragma once
// TTextAction: the text behind one skin text area (read-outs and static labels).
//
// Text reads from and writes to the bound text area when there is one; while
// unbound the action keeps the text, so read-outs survive a skin change. Text
// areas show the hint alone, without a shortcut line.
//
// Main thread only.
#include <string>

#include "skin/ActionControl.h"

namespace zonda {

class TTextAction {
 public:
  TTextAction(int index, std::string name, std::string hint, std::string text, bool ellipsis);

  int Index() const { return index_; }
  const std::string& Name() const { return name_; }

  // Pushes the ellipsis flag, text, tag, hint and handlers into the control.
  void Bind(int controlIndex, TTextControl& control);
  // Copies the text and tag back; forgets the control.
  void Unbind();
  int ControlIndex() const { return controlIndex_; }
  bool IsBound() const { return control_ != nullptr; }

  const std::string& Text() const;
  void SetText(const std::string& text);
  int Tag() const;
  void SetTag(int tag);
  bool Ellipsis() const { return ellipsis_; }

  const std::string& HintText() const { return hint_; }
  void SetHintText(const std::string& hint);

  TTextHandlers Handlers;

 private:
  int index_;
  std::string name_;
  std::string hint_;
  std::string text_;
  bool ellipsis_;
  int controlIndex_ = -1;
  TTextControl* control_ = nullptr;
  int tag_ = 0;
};

}  // namespace zonda
