// Files installed with tarvo-run, found beside the program whatever the install prefix.
#pragma once

#include <optional>
#include <string>

// The chi-square table of a run: the --prog file when given, else ./prog.par when it exists, else
// the copy installed with the program, else "prog.par" (the run then reports it missing).
std::string ChooseChiSquareFile(const std::optional<std::string>& option);

// Where ChooseChiSquareFile looks without --prog, for a message when it finds nothing: the current
// folder and the installed data folder.
std::string ChiSquareFilePlaces();
