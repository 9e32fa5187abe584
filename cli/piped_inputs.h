// Inputs given as pipes (a process substitution, /dev/stdin): tarvo-run reads its table more than
// once (its header for --target, then the whole table; a search once per setting), and a pipe
// gives its bytes only once. Such an input is copied whole into an unnamed temporary file first
// and read from the copy; messages and the report keep the name the user gave.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

class PipedInputs {
 public:
  PipedInputs() = default;
  PipedInputs(const PipedInputs&) = delete;
  PipedInputs& operator=(const PipedInputs&) = delete;
  ~PipedInputs();  // closes the copies, which then vanish

  // Copies the table and the chi-square table when they are pipes, and points the line's
  // TableToRead and ChiSquareFile at the copies. The exit status when a copy fails (its message
  // on stderr), else nothing.
  std::optional<int> CopyPipes(CommandLine& line);

 private:
  // The name of the copy of the pipe at path, of at most limit + 1 bytes; empty when a copy fails
  // (error tells why).
  std::string Copy(const std::string& path, size_t limit, std::string& error);

  std::vector<int> copies_;  // their descriptors
};
