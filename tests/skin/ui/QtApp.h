#pragma once
// One QApplication for a test program (offscreen platform under ctest).
#include <QApplication>
#include <cstdlib>

namespace zonda::test {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "zonda-test";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: Qt's input devices must outlive the application object at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace zonda::test
