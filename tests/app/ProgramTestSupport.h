#pragma once
// The real program in tests: the one QApplication, a fresh copy of the
// installation tree with a private settings folder, and waiting on Qt's
// event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "zonda";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input devices outlive static destruction otherwise.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A fresh copy of the installation tree and a private settings folder.
class TInstallation {
 public:
  explicit TInstallation(const std::vector<std::string>& leaveOut = {}) {
    const char* tree = std::getenv("ZONDA_PROGRAM_DIR");
    source_ = tree ? tree : "";
    std::filesystem::copy(source_, dir_.path() / "zonda", std::filesystem::copy_options::recursive);
    for (const std::string& f : leaveOut) std::filesystem::remove(dir_.path() / "zonda" / f);
    std::filesystem::create_directories(dir_.path() / "config");
    setenv("ZONDA_PROGRAM_DIR", Tree().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
    ResetProgramDirForTests();
  }
  ~TInstallation() {
    setenv("ZONDA_PROGRAM_DIR", source_.c_str(), 1);
    ResetProgramDirForTests();
  }
  std::string Tree() const { return (dir_.path() / "zonda").string(); }
  std::string ConfigFile() const { return (dir_.path() / "config" / "Quarnet" / "Zonda.conf").string(); }
  std::string File(const std::string& name) const { return dir_.file(name); }
  std::string Settings() const {
    std::ifstream in(ConfigFile());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  TempDir dir_;
  std::string source_;
};

// Runs the event loop until pred() holds; false after ms.
template <class Pred>
inline bool WaitFor(Pred pred, int ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
}

// A left click in the middle of the skin button bound to button action
// `name`; the test fails when the skin has no such button.
inline void ClickSkinButton(TZondaApp& z, const char* name) {
  TActionTables& t = *z.Actions();
  const TButtonAction& a = t.Button(t.FindButtonAction(name));
  ASSERT_TRUE(a.IsBound()) << name;
  QWidget& w = *z.MainForm()->Skins().Buttons().at(static_cast<size_t>(a.ControlIndex()));
  QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(w.width() / 2, w.height() / 2));
}

// The installed zonda executable started with a song on deck A (null audio
// device, offscreen), until start-up has written its settings; then it gets
// `signal` `settleMs` later. Returns waitpid's status, -1 when it never came up.
template <class BeforeSignal>
inline int RunExecutableUntilSignal(const TInstallation& inst, const std::string& track, int signal, int settleMs,
                                    BeforeSignal beforeSignal) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    setenv("ZONDA_AUDIO", "null", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string exe = inst.Tree() + "/zonda";
    execl(exe.c_str(), exe.c_str(), "--deck-a", track.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const bool up = WaitFor([&] { return inst.Settings().find("SkinNumber=") != std::string::npos; }, 30000);
  QTest::qWait(settleMs);
  beforeSignal();
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
  return up ? status : -1;
}

}  // namespace zonda::test
