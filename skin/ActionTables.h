#pragma once
// TActionTables: every action of the program, in four fixed tables.
//
// 136 button actions, 29 slider actions, 2 beat display actions and 143 text
// actions, created in table order with their names, hints, defaults, ranges,
// step divisors, tags and fine-drag flags. An action's index never changes;
// names are unique within a kind and matched case-sensitively (the same name
// may exist in two kinds, such as "decka_pitch").
//
// Handlers are slots (TSlot) that know the main-window handler they expect;
// the main window fills them by name after building the tables:
//
//   tables.FillHandler("Play_but_AClick", [&](int) { PlayA(); });
//   assert(tables.EmptyHandlerSlots().empty());
//
// The object is built once at start-up and lives until shutdown; it is neither
// copied nor moved, because bound controls keep pointers to its slots.
//
// Main thread only.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "skin/BeatDisplayAction.h"
#include "skin/ButtonAction.h"
#include "skin/HintText.h"
#include "skin/SliderAction.h"
#include "skin/TextAction.h"

namespace zonda {

class TActionTables {
 public:
  static constexpr int kButtonCount = 136;
  static constexpr int kSliderCount = 29;
  static constexpr int kBeatDisplayCount = 2;
  static constexpr int kTextCount = 143;

  TActionTables();
  TActionTables(const TActionTables&) = delete;
  TActionTables& operator=(const TActionTables&) = delete;

  TButtonAction& Button(int index) { return buttons_.at(index); }
  TSliderAction& Slider(int index) { return sliders_.at(index); }
  TBeatDisplayAction& BeatDisplay(int index) { return beatDisplays_.at(index); }
  TTextAction& Text(int index) { return texts_.at(index); }
  const TButtonAction& Button(int index) const { return buttons_.at(index); }
  const TSliderAction& Slider(int index) const { return sliders_.at(index); }
  const TBeatDisplayAction& BeatDisplay(int index) const { return beatDisplays_.at(index); }
  const TTextAction& Text(int index) const { return texts_.at(index); }
  std::vector<TButtonAction>& Buttons() { return buttons_; }
  std::vector<TSliderAction>& Sliders() { return sliders_; }
  std::vector<TBeatDisplayAction>& BeatDisplays() { return beatDisplays_; }
  std::vector<TTextAction>& Texts() { return texts_; }
  const std::vector<TButtonAction>& Buttons() const { return buttons_; }
  const std::vector<TSliderAction>& Sliders() const { return sliders_; }
  const std::vector<TBeatDisplayAction>& BeatDisplays() const { return beatDisplays_; }
  const std::vector<TTextAction>& Texts() const { return texts_; }

  // Index of the named action of that kind, or -1.
  int FindButtonAction(std::string_view name) const;
  int FindSliderAction(std::string_view name) const;
  int FindBeatDisplayAction(std::string_view name) const;
  int FindTextAction(std::string_view name) const;

  // Fills every slot of every table that expects the named handler; returns
  // how many slots were filled (0 means the name is not in the tables).
  int FillHandler(std::string_view handlerName, const TActionSlot::Function& fn);
  int FillHandler(std::string_view handlerName, const TPointSlot::Function& fn);
  // Names of the expected handlers whose slots are still empty, each once.
  std::vector<std::string> EmptyHandlerSlots() const;

  // The words of the shortcut line in button and slider hints.
  const THintWords& HintWords() const { return words_; }
  void SetHintWords(std::string shortcuts, std::string none);
  // Every action of every kind gets the empty hint.
  void ClearHints();
  // Rebuilds the hints of bound buttons and sliders (after a language change).
  void RebuildHints();
  // Unbinds every action, in the skin unloader's order: text, beat display, slider, button.
  void UnbindAll();

 private:
  void BuildButtons();
  void BuildSliders();
  void BuildBeatDisplays();
  void BuildTexts();
  template <class F>
  void ForEachSlot(F&& f);
  template <class F>
  void ForEachSlot(F&& f) const;

  THintWords words_;
  std::vector<TButtonAction> buttons_;
  std::vector<TSliderAction> sliders_;
  std::vector<TBeatDisplayAction> beatDisplays_;
  std::vector<TTextAction> texts_;
};

}  // namespace zonda
