#pragma once
// TSlot: one event handler of an action, filled by the main window.
//
// Every slot knows the name of the main-window handler its table row expects
// ("Play_but_AClick", "DryWetFxMixChange", ...; empty when the row has none).
// The main window fills the slots by those names once at start-up
// (TActionTables::FillHandler); until then a slot is empty, IsEmpty() says so
// and calling it does nothing. Shared handlers find out which control called
// them from the tag they receive.
//
// Main thread only.
#include <functional>
#include <string>
#include <utility>

namespace zonda {

template <class Signature>
class TSlot;

template <class... Args>
class TSlot<void(Args...)> {
 public:
  using Function = std::function<void(Args...)>;

  TSlot() = default;
  explicit TSlot(std::string handlerName) : name_(std::move(handlerName)) {}

  // Name of the handler the table row expects, "" when it expects none.
  const std::string& HandlerName() const { return name_; }
  bool Wanted() const { return !name_.empty(); }
  bool IsEmpty() const { return !fn_; }

  void Fill(Function fn) { fn_ = std::move(fn); }
  void Clear() { fn_ = nullptr; }

  void operator()(Args... args) const {
    if (fn_) fn_(args...);
  }

 private:
  std::string name_;
  Function fn_;
};

// Handlers of buttons, sliders, text areas and beat displays receive the tag of
// the calling control (loop length, cue slot, effect slot; 0 when unused).
using TActionSlot = TSlot<void(int tag)>;
// Beat display drag and drop: the pointer position in the display.
using TPointSlot = TSlot<void(int x, int y)>;

}  // namespace zonda
