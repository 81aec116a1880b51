#include "platform/qt/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <cstring>
#include <memory>

namespace tonefield {

namespace {

constexpr int kConnectTimeoutMs = 1000;
// How long a start that found the lock taken waits for the running instance
// to listen (it takes the lock just before it does).
constexpr int kStartingInstancePatienceMs = 5000;
constexpr int kRetryMs = 20;

// Letters and digits as they are, every run of anything else as one '-'.
QString FileNamePart(const QString& text) {
  QString part;
  for (const QChar c : text) {
    const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                       (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                       (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    if (plain) {
      part += c;
    } else if (!part.endsWith(QLatin1Char('-'))) {
      part += QLatin1Char('-');
    }
  }
  while (part.endsWith(QLatin1Char('-'))) part.chop(1);
  while (part.startsWith(QLatin1Char('-'))) part.remove(0, 1);
  return part;
}

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  QDir().mkpath(folder);
  return folder;
}

}  // namespace

QString SingleInstance::CurrentDisplay() {
  const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (!wayland.isEmpty()) return QStringLiteral("wayland ") + wayland;
  QString x11 = qEnvironmentVariable("DISPLAY");
  if (x11.isEmpty()) return {};
  const qsizetype colon = x11.lastIndexOf(QLatin1Char(':'));
  const qsizetype dot = x11.indexOf(QLatin1Char('.'), colon + 1);
  if (colon >= 0 && dot > colon) x11.truncate(dot);
  return QStringLiteral("display ") + x11;
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : SingleInstance(std::move(name), CurrentDisplay(), parent) {}

SingleInstance::SingleInstance(QString name, QString display, QObject* parent) : QObject(parent) {
  QString file = FileNamePart(name);
  const QString where = FileNamePart(display);
  if (!where.isEmpty()) file += QLatin1Char('.') + where;
  base_ = RuntimeFolder() + QLatin1Char('/') + file;
}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();
  // The lock goes last, once nobody can connect any more.
  lock_.reset();
}

QString SingleInstance::ServerName() const {
#ifdef Q_OS_WIN
  // A pipe name, not a path.
  return QFileInfo(base_).fileName();
#else
  return base_ + QStringLiteral(".socket");
#endif
}

bool SingleInstance::Acquire(const QString& fileToOpen) {
  lock_ = std::make_unique<QLockFile>(LockPath());
  // Never stale by age: the lock is held for the whole run. It is stale only
  // when the process that took it is gone.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    Listen();
    return true;
  }
  if (lock_->error() == QLockFile::LockFailedError) {
    // Another instance runs on this display; it may still be starting.
    AskRunningInstanceToRaise(kStartingInstancePatienceMs, fileToOpen);
    return false;
  }
  // No lock can be taken here at all (an unwritable folder): one knock,
  // and run rather than refuse to start.
  lock_.reset();
  if (AskRunningInstanceToRaise(0, fileToOpen)) return false;
  Listen();
  return true;
}

void SingleInstance::Listen() {
  // Whoever listened here before has crashed: the lock says nobody runs.
  QLocalServer::removeServer(ServerName());
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Without a server this instance still runs; a later start just cannot
  // raise its window.
  if (!server_->listen(ServerName())) return;
  connect(server_, &QLocalServer::newConnection, this, [this] { OnNewConnection(); });
}

bool SingleInstance::AskRunningInstanceToRaise(int patienceMs, const QString& fileToOpen) {
  QElapsedTimer clock;
  clock.start();
  while (true) {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (socket.waitForConnected(kConnectTimeoutMs)) {
      if (!fileToOpen.isEmpty()) socket.write(kOpenRequest + fileToOpen.toUtf8() + '\n');
      socket.write(kRaiseRequest);
      socket.waitForBytesWritten(kConnectTimeoutMs);
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectTimeoutMs);
      return true;
    }
    if (clock.elapsed() >= patienceMs) return false;
    QThread::msleep(kRetryMs);
  }
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Requests are lines; a line may arrive in pieces.
    auto pending = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending] {
      pending->append(socket->readAll());
      qsizetype end;
      while ((end = pending->indexOf('\n')) >= 0) {
        const QByteArray line = pending->left(end);
        pending->remove(0, end + 1);
        if (line.startsWith(kOpenRequest)) {
          if (onOpen_) onOpen_(QString::fromUtf8(line.mid(qsizetype(std::strlen(kOpenRequest)))));
        } else if (line == "raise" && onRaise_) {
          onRaise_();
        }
      }
    });
  }
}

}  // namespace tonefield
