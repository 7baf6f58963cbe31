#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace vosta {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending) into a Qt signal on the GUI thread, so
// the program can finish its work before it goes. One instance per process.
class ShutdownSignals : public QObject {
  Q_OBJECT

 public:
  explicit ShutdownSignals(QObject* parent = nullptr);
  ~ShutdownSignals() override;

 signals:
  void Received(int signalNumber);

 private:
  void Drain();
  int fds_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vosta
