// One instance per desktop: the first start listens on a local server of a
// fixed name; a later start connects, asks it to raise its window, and
// exits. A name left behind by a crashed instance is removed and the start
// goes on.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace tonefield {

class SingleInstance : public QObject {
 public:
  explicit SingleInstance(QString name, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the first instance (the server now listens); false
  // when another instance answered, which has then been asked to come forward.
  bool Acquire();
  // Runs on the first instance whenever a later start asks it to come forward.
  void SetOnRaiseRequest(std::function<void()> onRaise) { onRaise_ = std::move(onRaise); }

  static constexpr const char* kRaiseRequest = "raise\n";

 private:
  bool AskRunningInstanceToRaise();
  void OnNewConnection();

  QString name_;
  QLocalServer* server_ = nullptr;
  std::function<void()> onRaise_;
};

}  // namespace tonefield
