#include "startup_options.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelpText[] =
    "Usage: tarvo2 [Qt options]\n"
    "Opens the Tarvo window: an editor for a table, the commands that grow decision trees\n"
    "from it, the parameter panel and the report.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "The window works in the folder it was started in when that holds prog.par, else in\n"
    "~/Tarvo. For runs without a window see tarvo-run(1).\n";

// Writes text to standard output; a failed write (a full disk, a closed pipe) is an error.
int PrintAndExit(const char* text) {
  const bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
  if (written) return 0;
  std::fputs("tarvo2: cannot write to standard output\n", stderr);
  return 1;
}

}  // namespace

std::optional<int> AnswerStartupOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--") == 0) break;
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
      return PrintAndExit(kHelpText);
    if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-V") == 0)
      return PrintAndExit("tarvo2 " TARVO_VERSION "\n");
  }
  return std::nullopt;
}
