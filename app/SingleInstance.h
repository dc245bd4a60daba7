#pragma once
// TSingleInstance: one running Zonda per user, and the skin-test message.
//
// The first instance listens on a local socket named after the user
// ("zonda-<user>"). A later start connects to it: it is then the second
// instance and ends (after "Zonda is already opened !"), without touching
// anything else. A skin editing tool sends the line "9787 8763 3678" over the
// same socket to have the running program show the skin under test; any
// other message is ignored.
//
//   TSingleInstance instance;
//   if (instance.AnotherIsRunning()) { ...message...; return 0; }
//   instance.Listen([&] { form.ShowSkinTest(); });
//
// Main thread only (the server's signals arrive in the Qt event loop).
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace zonda {

class TSingleInstance : public QObject {
 public:
  TSingleInstance();
  ~TSingleInstance() override;

  // The socket name for this user.
  static QString ServerName();
  // True when another instance answers on the socket.
  bool AnotherIsRunning() const;
  // Takes the socket (a stale one left by a crash is removed first); onSkinTest
  // runs for each valid skin-test message. False when listening failed.
  bool Listen(std::function<void()> onSkinTest);
  // Sends the skin-test message to the running instance (the editing tool's side).
  static bool SendSkinTest();

  static constexpr const char* kSkinTestMessage = "9787 8763 3678";

 private:
  void OnConnection();

  std::unique_ptr<QLocalServer> server_;
  std::function<void()> onSkinTest_;
};

}  // namespace zonda
