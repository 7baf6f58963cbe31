#include "app/ShutdownSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "platform/Exception.h"

namespace vosta {

namespace {

// The write end of the socket pair, for the async-signal-safe handler; set while an instance
// lives.
volatile int signalWriteFd = -1;

void OnSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  if (signalWriteFd >= 0) (void)!::write(signalWriteFd, &byte, 1);
  errno = saved;
}

}  // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
    throw Exception("socketpair failed");
  }
  signalWriteFd = fds_[1];
  notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &ShutdownSignals::Drain);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
  signalWriteFd = -1;
  notifier_.reset();
  ::close(fds_[0]);
  ::close(fds_[1]);
}

void ShutdownSignals::Drain() {
  unsigned char byte = 0;
  while (::read(fds_[0], &byte, 1) == 1) emit Received(byte);
}

}  // namespace vosta
