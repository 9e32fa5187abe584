// A table of 100,000 objects from CSV runs at look-ahead 1, and the memory of its run grows with
// the table: ten times the objects take about ten times the memory, not a hundred. Each run is
// made in a forked child, so that its peak resident size is its own.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "synthetic_table.h"
#include "tarvo/engine.h"

namespace {

struct RunMemory {
  long tableKilobytes = -1;  // peak resident size with the table read, before the run
  long runKilobytes = -1;    // peak resident size after the run
};

// Reads a CSV table of `objects` objects into memory and grows one tree from it (look-ahead 1, no
// cross-validation) in a child process; -1 figures when anything failed.
RunMemory MemoryOfRun(int32_t objects) {
  int channel[2];
  if (pipe(channel) != 0) return {};
  const pid_t child = fork();
  if (child < 0) return {};
  if (child == 0) {
    close(channel[0]);
    RunMemory memory;
    tarvo::synthetic::TableShape shape;
    shape.objects = objects;
    shape.columns = 6;
    shape.seed = 11;
    tarvo::Table table;
    std::string fault;
    std::istringstream csv(tarvo::synthetic::MakeCsvTable(shape));
    if (tarvo::ReadCsvTable(csv, "large.csv", tarvo::CsvOptions{}, table, fault)) {
      csv = std::istringstream();
      rusage usage{};
      getrusage(RUSAGE_SELF, &usage);
      memory.tableKilobytes = usage.ru_maxrss;
      const std::string folder = std::filesystem::temp_directory_path().string();
      tarvo::RunOptions options;
      options.ChiSquareFileName = TARVO_PROG_PAR;
      options.ReportFileName = folder + "/tarvo-large-" + std::to_string(getpid()) + ".txt";
      tarvo::RunParameters p;
      p.FeatureToPredict = 6;
      p.FoldsCrossValidate = 1;
      const tarvo::RunResult result = tarvo::RunEngine(p, table, options);
      std::filesystem::remove(options.ReportFileName);
      if (!result.TableFault && result.FirstTree.Leaves > objects / 100) {
        getrusage(RUSAGE_SELF, &usage);
        memory.runKilobytes = usage.ru_maxrss;
      }
    }
    const ssize_t written = write(channel[1], &memory, sizeof memory);
    _exit(written == sizeof memory ? 0 : 1);
  }
  close(channel[1]);
  RunMemory memory;
  if (read(channel[0], &memory, sizeof memory) != sizeof memory) memory = RunMemory{};
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? memory : RunMemory{};
}

TEST(LargeTableMemory, HundredThousandObjectsRunInMemoryThatGrowsWithTheTable) {
  const RunMemory small = MemoryOfRun(10000);
  const RunMemory large = MemoryOfRun(100000);
  ASSERT_GT(small.runKilobytes, 0);
  ASSERT_GT(large.runKilobytes, 0) << "the run of 100,000 objects failed";
  const long smallGrowth = small.runKilobytes - small.tableKilobytes;
  const long largeGrowth = large.runKilobytes - large.tableKilobytes;
  std::printf("run memory beyond the table: %ld kB for 10,000 objects, %ld kB for 100,000\n",
              smallGrowth, largeGrowth);
  // Ten times the objects: about ten times the memory (the deeper tree and the allocator add a
  // little: 1.2 kB per object for 10,000, 1.6 kB for 100,000), where a quadratic store would take
  // a hundred times.
  EXPECT_LT(largeGrowth, 15 * smallGrowth + 16 * 1024);
}

}  // namespace
