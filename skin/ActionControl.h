#pragma once
// The interfaces a skin control implements so that an action can drive it.
//
// An action (TButtonAction, TSliderAction, TTextAction, TBeatDisplayAction)
// holds the interface's state while no control shows it. When the skin loader
// binds a control, the action pushes its state into the control through these
// interfaces and hands over a pointer to its handler slots; the control calls
// those slots on mouse events, passing its own tag. When the skin goes, the
// action reads the state back before the control is destroyed. The loader
// guarantees the order: Bind after creating a control, Unbind before
// destroying it, so an action's control pointer never dangles.
//
// Hints use CR LF ("\r\n") between lines, as the language files and the action
// tables write them; a control turns that into whatever its tool tip needs.
//
// Main thread only.
#include <cstdint>
#include <span>
#include <string>

#include "skin/ActionSlot.h"

namespace zonda {

struct TButtonHandlers {
  TActionSlot OnLeftDown, OnLeftUp, OnRightDown, OnRightUp;
};

struct TSliderHandlers {
  TActionSlot OnChange;   // every change of the value, by the program or the user
  TActionSlot OnTrack;    // only while the user moves the control
  TActionSlot OnRelease;  // left mouse button released on the control
};

struct TTextHandlers {
  TActionSlot OnLeftDown, OnLeftUp, OnRightDown, OnRightUp;
};

struct TBeatDisplayHandlers {
  TActionSlot OnLeftDown, OnLeftUp, OnRightDown, OnRightUp;  // called with tag 0
  TPointSlot OnDrop;  // songs dropped on the display, at the drop point
  TPointSlot OnDrag;  // pointer moved with the left button held
};

// Implemented by TSKINButton.
class TButtonControl {
 public:
  virtual ~TButtonControl() = default;
  virtual bool Selected() const = 0;
  virtual void SetSelected(bool selected) = 0;  // repaints
  virtual bool Lit() const = 0;
  virtual void SetLit(bool lit) = 0;  // repaints
  virtual int Tag() const = 0;
  virtual void SetTag(int tag) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  // The action's slots; they outlive the control. nullptr: call nothing.
  virtual void SetHandlers(const TButtonHandlers* handlers) = 0;
  // Keyboard and MIDI: pointer-enter + left-down, and left-up + pointer-leave.
  virtual void Press() = 0;
  virtual void Release() = 0;
};

// Implemented by TSKINSlider (linear) and TSKINRoundSlider.
class TSliderControl {
 public:
  virtual ~TSliderControl() = default;
  virtual bool IsRound() const = 0;
  virtual int Value() const = 0;
  // Clamps (linear) and fires OnChange; ignored by a linear slider being dragged.
  virtual void SetValue(int value) = 0;
  virtual int Minimum() const = 0;
  virtual void SetMinimum(int value) = 0;
  virtual int Maximum() const = 0;
  virtual void SetMaximum(int value) = 0;
  // -1 removes the marker; round sliders have none and ignore it.
  virtual void SetMarker(int value) = 0;
  virtual int Tag() const = 0;
  virtual void SetTag(int tag) = 0;
  // Round sliders turn 1 degree per pixel instead of 2; linear ones ignore it.
  virtual bool FineDrag() const = 0;
  virtual void SetFineDrag(bool fine) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  virtual void SetHandlers(const TSliderHandlers* handlers) = 0;
};

// Implemented by TSKINTextArea.
class TTextControl {
 public:
  virtual ~TTextControl() = default;
  virtual const std::string& Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  // Long texts are shortened with " ..." when set.
  virtual void SetEllipsis(bool ellipsis) = 0;
  virtual int Tag() const = 0;
  virtual void SetTag(int tag) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  virtual void SetHandlers(const TTextHandlers* handlers) = 0;
};

// Implemented by TSKINBeatDisplay.
class TBeatDisplayControl {
 public:
  virtual ~TBeatDisplayControl() = default;
  // The deck's arrays (16-bit entries, two per column); the control keeps the
  // view until the next call, the deck keeps the storage alive.
  virtual void SetDisplayData(std::span<const int16_t> beats) = 0;
  virtual void SetOverviewData(std::span<const int16_t> wave) = 0;
  virtual void SetStandardWave(bool standard) = 0;
  virtual void SetBeatDiff(int hundredthsOfBeat) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  virtual void SetHandlers(const TBeatDisplayHandlers* handlers) = 0;
  // The display's rectangle on the main window.
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

}  // namespace zonda
