// The handler only sets lock-free atomics: that is all a handler may safely do.
#include "interrupt.h"

#include <csignal>

namespace {

std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{SIGINT};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void OnInterrupt(int signal) {
  interruptSignal.store(signal, std::memory_order_relaxed);
  interruptRequested.store(true, std::memory_order_relaxed);
}

void Catch(int signal) {
  struct sigaction previous = {};
  sigaction(signal, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN) return;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // the next one has the default effect
  sigaction(signal, &action, nullptr);
}

}  // namespace

const std::atomic<bool>* CatchInterrupt() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) Catch(signal);
  return &interruptRequested;
}

int InterruptedStatus() {
  return 128 + interruptSignal.load(std::memory_order_relaxed);
}
