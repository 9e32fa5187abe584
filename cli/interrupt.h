// Ctrl+C (SIGINT) as a request to stop the run, which then unwinds and ends cleanly.
#pragma once

#include <atomic>

// Installs the handler (unless SIGINT is ignored, as for a background job of a script) and
// returns the flag it sets. A second Ctrl+C ends the program at once.
const std::atomic<bool>* CatchInterrupt();
