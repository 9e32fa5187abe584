// Ctrl+C (SIGINT), SIGTERM and SIGHUP as a request to stop the run, which then unwinds and ends
// cleanly: its files are removed or marked incomplete instead of being left half written.
#pragma once

#include <atomic>

// Installs the handler for each of the signals that is not ignored (a background job of a script
// ignores SIGINT, nohup ignores SIGHUP) and returns the flag it sets. A second signal of the same
// kind ends the program at once.
const std::atomic<bool>* CatchInterrupt();

// The exit status of a program that the caught signal ended: 128 plus its number (130 for Ctrl+C).
int InterruptedStatus();
