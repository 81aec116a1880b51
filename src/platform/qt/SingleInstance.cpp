#include "platform/qt/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace tonefield {

namespace {
constexpr int kConnectTimeoutMs = 1000;
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();
}

bool SingleInstance::Acquire() {
  if (AskRunningInstanceToRaise()) return false;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // Nobody answered on the name, so it is a leftover of a crashed run.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) {
      // Still unusable: run anyway rather than refuse to start.
      return true;
    }
  }
  connect(server_, &QLocalServer::newConnection, this, [this] { OnNewConnection(); });
  return true;
}

bool SingleInstance::AskRunningInstanceToRaise() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  socket.write(kRaiseRequest);
  socket.waitForBytesWritten(kConnectTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectTimeoutMs);
  return true;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      const QByteArray request = socket->readAll();
      if (request.contains("raise") && onRaise_) onRaise_();
    });
  }
}

}  // namespace tonefield
