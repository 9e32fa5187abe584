#include "end_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace {

int ends[2] = {-1, -1};  // the handlers write to [0], the event loop reads [1]

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

void WriteSignal(int) {
  const char byte = 1;
  // A full socket already holds a request; nothing more to tell.
  [[maybe_unused]] const ssize_t written = write(ends[0], &byte, 1);
}

}  // namespace

TEndSignals::TEndSignals(QObject* parent) : QObject(parent) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(ends[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TEndSignals::ReadSignal);
  struct sigaction action {};
  action.sa_handler = WriteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kEndSignals) sigaction(signal, &action, nullptr);
}

TEndSignals::~TEndSignals() {
  if (!notifier_) return;
  for (int signal : kEndSignals) std::signal(signal, SIG_DFL);
  notifier_.reset();
  close(ends[0]);
  close(ends[1]);
  ends[0] = ends[1] = -1;
}

void TEndSignals::ReadSignal() {
  char bytes[16];
  while (read(ends[1], bytes, sizeof bytes) > 0) {
  }
  emit EndRequested();
}
