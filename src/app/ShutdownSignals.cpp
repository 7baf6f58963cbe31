#include "app/ShutdownSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

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
  int fds[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
    throw std::system_error(errno, std::generic_category(),
                            "cannot watch for the termination signals");
  }
  readEnd_.Reset(fds[0]);
  writeEnd_.Reset(fds[1]);
  signalWriteFd = writeEnd_.get();
  notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
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
}

void ShutdownSignals::Drain() {
  unsigned char byte = 0;
  while (::read(readEnd_.get(), &byte, 1) == 1) emit Received(byte);
}

}  // namespace vosta
