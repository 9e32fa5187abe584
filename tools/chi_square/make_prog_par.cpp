// make_prog_par: writes prog.par, the upper critical values of the chi-square distribution at
// the levels 0.001, 0.005, 0.01 and 0.05 for 1..30 and 32, 34, ..., 70 degrees of freedom, to
// standard output. Usage: make_prog_par > data/prog.par
#include <cstdio>
#include <cstring>
#include <string>

#include "prog_par.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
    std::fprintf(help ? stdout : stderr,
                 "Usage: make_prog_par > prog.par\n"
                 "Writes the upper critical values of the chi-square distribution at the levels\n"
                 "0.001, 0.005, 0.01 and 0.05, one level per line, for 1..30 and 32, 34, ..., 70\n"
                 "degrees of freedom, three decimals each.\n");
    return help ? 0 : 64;
  }
  const std::string text = tarvo::chisq::ProgParText();
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    std::perror("make_prog_par");
    return 1;
  }
  return 0;
}
