// The SIGINT handler only sets a lock-free atomic flag: that is all a handler may safely do.
#include "interrupt.h"

#include <csignal>

namespace {

std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
  interruptRequested.store(true, std::memory_order_relaxed);
}

}  // namespace

const std::atomic<bool>* CatchInterrupt() {
  struct sigaction previous = {};
  sigaction(SIGINT, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN) return &interruptRequested;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // the next Ctrl+C has the default effect
  sigaction(SIGINT, &action, nullptr);
  return &interruptRequested;
}
