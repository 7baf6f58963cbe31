#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/files/FileDescriptor.h"

namespace vosta {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending) into a Qt signal on the GUI thread, so
// the program can finish its work before it goes. One instance per process.
class ShutdownSignals : public QObject {
  Q_OBJECT

 public:
  // Throws std::system_error when the signals cannot be watched (no descriptor left).
  explicit ShutdownSignals(QObject* parent = nullptr);
  ~ShutdownSignals() override;

 signals:
  void Received(int signalNumber);

 private:
  void Drain();
  FileDescriptor readEnd_;   // where the handler's bytes arrive
  FileDescriptor writeEnd_;  // where the signal handler writes them
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vosta
