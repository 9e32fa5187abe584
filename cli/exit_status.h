// The exit statuses of tarvo-run, which scripts rely on.
#pragma once

enum ExitStatus : int {
  kExitComplete = 0,      // the report is complete
  kExitTableFault = 1,    // the report holds a fault of the table or of the run parameters
  kExitRunError = 2,      // the run ended with an error before its report was complete
  kExitUsage = 64,        // the command line is wrong
  kExitInternal = 70,     // a fault of the program itself
  kExitInterrupted = 130  // stopped by Ctrl+C (SIGINT)
};
