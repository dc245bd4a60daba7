#pragma once
// TSkinWindow: the frameless top-level window a skin is drawn on.
//
// The window holds a canvas of the skin's size that paints SkinImage (unless
// a skin change is in progress) and hosts the skin controls; the canvas sits
// at the window's origin, or centred on a black screen in full-screen mode.
// Dragging the background (anywhere no control takes the mouse) moves the
// window. The main window of the program builds on this class; the skin
// viewer uses it bare.
//
//   TSkinWindow window(actions);
//   window.Skins().LoadSkin(base);
//   window.AdaptFormsToResolution();
//
// Main thread only.
#include <QPoint>
#include <QWidget>
#include <memory>
#include <string>

#include "skin/ActionTables.h"
#include "skin/ui/TSkinLoader.h"

namespace zonda {

class TSkinCanvas;

class TSkinWindow : public QWidget {
 public:
  explicit TSkinWindow(TActionTables& actions, QWidget* parent = nullptr);
  ~TSkinWindow() override;

  TSkinLoader& Skins() { return *loader_; }
  QWidget& Canvas();

  // Sizes the window to the skin and centres it on its screen; a skin the
  // size of the screen covers it (full screen, no border).
  void AdaptFormsToResolution();
  // The "minimize" and "maximize" buttons. There is no display-mode switch
  // here: maximising shows the skin full screen (centred on black), a second
  // click returns to the window.
  void Min_buttonClick();
  void Max_buttonClick();
  void ExitAppClick() { close(); }
  // Fills the "minimize", "maximize" and "close" actions' handlers.
  void FillWindowHandlers(TActionTables& actions);

  // The configuration dialog's skin change: refused with a warning (the
  // language's "config_skinrequireshigherres", or the built-in text when that
  // is empty) when the skin is wider than the screen; otherwise loads it with
  // the background held back and fits the window. False when refused; the
  // load's own result is not looked at.
  bool ChangeSkin(const TDataSkin& skin, const std::string& tooWideText);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class TSkinCanvas;
  void PlaceCanvas();

  std::unique_ptr<TSkinCanvas> canvas_;
  std::unique_ptr<TSkinLoader> loader_;
  QPoint dragOffset_;
  bool dragging_ = false;
};

}  // namespace zonda
