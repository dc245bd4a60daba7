#pragma once
// TBeatDisplayAction: the hint, mode and handlers behind one deck's beat display.
//
// The deck hands its display arrays over on every tick (SetDisplayData,
// SetOverviewData); without a bound display they go nowhere. Binding tells the
// deck, through OnDisplayPoints, to fill twice the display's width of points
// per array; unbinding sets it back to 100.
//
// Main thread only.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "skin/ActionControl.h"

namespace zonda {

class TBeatDisplayAction {
 public:
  static constexpr int kUnboundDisplayPoints = 100;

  TBeatDisplayAction(int index, std::string name, std::string hint);

  int Index() const { return index_; }
  const std::string& Name() const { return name_; }

  // Pushes mode, beat difference, hint and handlers; reports the point count.
  void Bind(int controlIndex, TBeatDisplayControl& control);
  void Unbind();
  int ControlIndex() const { return controlIndex_; }
  bool IsBound() const { return control_ != nullptr; }

  void SetDisplayData(std::span<const int16_t> beats);
  void SetOverviewData(std::span<const int16_t> wave);
  bool StandardWave() const { return standardWave_; }
  void SetStandardWave(bool standard);
  int BeatDiff() const { return beatDiff_; }
  void SetBeatDiff(int hundredthsOfBeat);

  // The bound display's rectangle on the main window, 0 when unbound.
  int DisplayLeft() const;
  int DisplayTop() const;
  int DisplayWidth() const;
  int DisplayHeight() const;

  const std::string& HintText() const { return hint_; }
  void SetHintText(const std::string& hint);

  TBeatDisplayHandlers Handlers;
  // Sets the deck's display point count (the deck's DisplayPoints); filled by
  // the main window, empty in tests.
  std::function<void(int points)> OnDisplayPoints;

 private:
  int index_;
  std::string name_;
  std::string hint_;
  int controlIndex_ = -1;
  TBeatDisplayControl* control_ = nullptr;
  bool standardWave_ = false;
  int beatDiff_ = 0;
};

}  // namespace zonda
