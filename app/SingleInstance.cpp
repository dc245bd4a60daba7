#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>

namespace zonda {

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance() {
  if (server_) server_->close();
}

QString TSingleInstance::ServerName() {
  const char* user = std::getenv("USER");
  if (user == nullptr || *user == '\0') user = std::getenv("LOGNAME");
  QString name = QString("zonda-") + QString::fromLocal8Bit(user != nullptr ? user : "user");
  // A test or a portable install with its own settings folder is its own instance.
  if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
    name += "-" + QString::number(qHash(QString::fromLocal8Bit(config)), 16);
  }
  return name;
}

bool TSingleInstance::AnotherIsRunning() const {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  const bool connected = socket.waitForConnected(500);
  if (connected) socket.disconnectFromServer();
  return connected;
}

bool TSingleInstance::Listen(std::function<void()> onSkinTest) {
  onSkinTest_ = std::move(onSkinTest);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(ServerName())) {
    // Left over from a program that did not end cleanly (nobody answered).
    QLocalServer::removeServer(ServerName());
    if (!server_->listen(ServerName())) return false;
  }
  QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] { OnConnection(); });
  return true;
}

void TSingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(256).trimmed();
        if (line == kSkinTestMessage && onSkinTest_) onSkinTest_();
      }
    });
  }
}

bool TSingleInstance::SendSkinTest() {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  if (!socket.waitForConnected(1000)) return false;
  socket.write(QByteArray(kSkinTestMessage) + "\n");
  const bool ok = socket.waitForBytesWritten(1000);
  socket.disconnectFromServer();
  return ok;
}

}  // namespace zonda
