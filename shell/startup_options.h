// The window's own command-line options: --help and --version print and end the program before any
// window (or display) is needed; everything else is left to Qt.
#pragma once

#include <optional>

// The exit status when argv asks for --help/-h or --version/-V (1 when the text cannot be written),
// or nothing when the window should open.
std::optional<int> AnswerStartupOptions(int argc, char** argv);
