// zonda: the two-deck DJ program.
//
//   zonda [--deck-a FILE] [--deck-b FILE]
//
// SIGTERM and SIGINT close the main window as a confirmed exit (no question),
// so the session's end or Ctrl-C still stores song settings and settings.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "app/MainForm.h"
#include "app/ZondaApp.h"
#include "platform/ThreadPriority.h"
#include "platform/ThreadRole.h"

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = write(gSignalPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
  zonda::SetCurrentThreadRole(zonda::TThreadRole::Main);
  zonda::SetCurrentThreadName("zonda");
  QApplication app(argc, argv);
  const zonda::TStartOptions options = zonda::TZondaApp::ParseArguments(argc, argv);
  if (options.Help || !options.Error.empty()) {
    if (!options.Error.empty()) std::fprintf(stderr, "zonda: unknown argument %s\n", options.Error.c_str());
    std::fprintf(stderr, "usage: zonda [--deck-a FILE] [--deck-b FILE]\n");
    return options.Help ? 0 : 2;
  }
  zonda::TZondaApp zonda;
  const int early = zonda.Start(options);
  if (early >= 0) return early;

  std::unique_ptr<QSocketNotifier> notifier;
  if (pipe(gSignalPipe) == 0) {
    notifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [&zonda] {
      char c;
      [[maybe_unused]] const ssize_t n = read(gSignalPipe[0], &c, 1);
      if (zonda::TMainForm* form = zonda.MainForm()) {
        form->ClosingConfirmed = true;
        form->close();
      }
    });
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
  }
  if (std::getenv("ZONDA_TIMING")) {
    std::fprintf(stderr, "zonda: start-up %.1f ms\n", zonda.StartMs());
  }
  const int code = zonda.Exec();
  if (std::getenv("ZONDA_TIMING")) std::fprintf(stderr, "zonda: shutdown %.1f ms\n", zonda.ShutdownMs());
  return code;
}
