#pragma once
// Lv2EditorWindow: the top-level window that edits a loaded LV2 effect, titled
// with the plug-in's name and holding the panel generated from its control
// inputs (scrolling when the plug-in has many). Every plug-in gets this panel:
// the plug-ins' own X11/Gtk windows cannot be embedded in this Qt 6 program.
//
// Threads: main thread; needs a QApplication.
#include <QWidget>

#include "platform/ilvex/lv2/Lv2Effect.h"

namespace zonda::ilvex {

class Lv2EditorWindow final : public QWidget {
 public:
  explicit Lv2EditorWindow(Lv2Effect& effect, QWidget* parent = nullptr);
};

}  // namespace zonda::ilvex
