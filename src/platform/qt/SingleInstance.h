// One instance per desktop. The first start on a display takes a lock file
// named after the display in the user's runtime folder, then listens on a
// local server of the same name; a later start on that display finds the
// lock taken, asks the running instance to raise its window, and exits.
// Taking the lock is atomic, so of two starts at the same moment exactly
// one runs; a second display of the same user gets its own instance. The
// lock of a crashed instance is stale (its process is gone) and is taken
// over, its server name removed.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace tonefield {

class SingleInstance : public QObject {
 public:
  // On the display the program runs on (CurrentDisplay()).
  explicit SingleInstance(QString name, QObject* parent = nullptr);
  // On a named display.
  SingleInstance(QString name, QString display, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the first instance on the display (the server now
  // listens); false when another instance holds it, which has then been
  // asked to come forward.
  // fileToOpen, when not empty, is handed to the running instance, which
  // opens it (an absolute path).
  bool Acquire(const QString& fileToOpen = {});
  // Runs on the first instance whenever a later start asks it to come forward.
  void SetOnRaiseRequest(std::function<void()> onRaise) { onRaise_ = std::move(onRaise); }
  // Runs on the first instance for a file a later start hands over.
  void SetOnOpenRequest(std::function<void(const QString&)> onOpen) { onOpen_ = std::move(onOpen); }

  // The desktop this process shows its windows on: the Wayland display, or
  // the X display without its screen number (":0.1" is on ":0"); empty
  // where there is neither.
  static QString CurrentDisplay();
  // Where the lock and the server live: the user's runtime folder.
  QString LockPath() const { return base_ + QStringLiteral(".lock"); }
  QString ServerName() const;

  static constexpr const char* kRaiseRequest = "raise\n";
  // Followed by the file's absolute path in UTF-8 and a newline.
  static constexpr const char* kOpenRequest = "open ";

 private:
  // Knocks until the running instance answers or the time is up.
  bool AskRunningInstanceToRaise(int patienceMs, const QString& fileToOpen);
  void Listen();
  void OnNewConnection();

  QString base_;  // runtime folder + file name made of the name and display
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  std::function<void()> onRaise_;
  std::function<void(const QString&)> onOpen_;
};

}  // namespace tonefield
