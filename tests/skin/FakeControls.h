#pragma once
// Minimal stand-ins for the skin controls: they keep what the actions push and
// call the handler slots the way the real controls do.
#include <algorithm>
#include <string>

#include "skin/ActionControl.h"

namespace zonda::test {

struct FakeButton : TButtonControl {
  bool selected = false, lit = false;
  int tag = 0, presses = 0, releases = 0;
  std::string hint;
  const TButtonHandlers* handlers = nullptr;
  bool Selected() const override { return selected; }
  void SetSelected(bool s) override { selected = s; }
  bool Lit() const override { return lit; }
  void SetLit(bool l) override { lit = l; }
  int Tag() const override { return tag; }
  void SetTag(int t) override { tag = t; }
  void SetHint(const std::string& h) override { hint = h; }
  void SetHandlers(const TButtonHandlers* h) override { handlers = h; }
  void Press() override {
    ++presses;
    selected = !selected;
    if (handlers) handlers->OnLeftDown(tag);
  }
  void Release() override {
    ++releases;
    if (handlers) handlers->OnLeftUp(tag);
  }
};

// Behaves like a linear slider: clamps and fires OnChange on every SetValue.
struct FakeSlider : TSliderControl {
  int value = 0, minimum = -28, maximum = 145, marker = -1, tag = 0;
  bool fine = false, round = false;
  std::string hint;
  const TSliderHandlers* handlers = nullptr;
  bool IsRound() const override { return round; }
  int Value() const override { return value; }
  void SetValue(int v) override {
    value = std::clamp(v, minimum, maximum);
    if (handlers) handlers->OnChange(tag);
  }
  int Minimum() const override { return minimum; }
  void SetMinimum(int v) override {
    minimum = v;
    SetValue(value);
  }
  int Maximum() const override { return maximum; }
  void SetMaximum(int v) override {
    maximum = v;
    SetValue(value);
  }
  void SetMarker(int v) override { marker = v; }
  int Tag() const override { return tag; }
  void SetTag(int t) override { tag = t; }
  bool FineDrag() const override { return fine; }
  void SetFineDrag(bool f) override { fine = f; }
  void SetHint(const std::string& h) override { hint = h; }
  void SetHandlers(const TSliderHandlers* h) override { handlers = h; }
};

struct FakeText : TTextControl {
  std::string text, hint;
  bool ellipsis = false;
  int tag = 0;
  const TTextHandlers* handlers = nullptr;
  const std::string& Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  void SetEllipsis(bool e) override { ellipsis = e; }
  int Tag() const override { return tag; }
  void SetTag(int t) override { tag = t; }
  void SetHint(const std::string& h) override { hint = h; }
  void SetHandlers(const TTextHandlers* h) override { handlers = h; }
};

struct FakeBeatDisplay : TBeatDisplayControl {
  int left = 10, top = 20, width = 300, height = 60, beatDiff = 0;
  bool standard = false;
  std::size_t beats = 0;
  std::string hint;
  const TBeatDisplayHandlers* handlers = nullptr;
  void SetDisplayData(std::span<const int16_t> b) override { beats = b.size(); }
  void SetOverviewData(std::span<const int16_t>) override {}
  void SetStandardWave(bool s) override { standard = s; }
  void SetBeatDiff(int d) override { beatDiff = d; }
  void SetHint(const std::string& h) override { hint = h; }
  void SetHandlers(const TBeatDisplayHandlers* h) override { handlers = h; }
  int Left() const override { return left; }
  int Top() const override { return top; }
  int Width() const override { return width; }
  int Height() const override { return height; }
};

}  // namespace zonda::test
