#pragma once
// The editor window of a native effect: a top-level window titled with the
// effect's name and one row per parameter (name, slider, shown value). Moving
// a slider writes the parameter's atomic at once; "process" picks it up at
// its next call.
//
// Plain widgets and lambda connections only (no meta-object code in the
// plug-in), so nothing of the plug-in stays registered with Qt once the
// window is deleted and the library can be unloaded.
//
// Threads: main thread, with a QApplication.
class QWidget;

namespace zonda::fx {

class TEffectParameters;

// A hidden window; parent (may be null) only keeps it above the main window
// and deletes it with the main window. Sliders are named after their parameter.
QWidget* BuildEffectEditor(const char* effectName, TEffectParameters& parameters, QWidget* parent);

}  // namespace zonda::fx
