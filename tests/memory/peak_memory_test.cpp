// Peak memory of a look-ahead run must not grow with the number of search threads. Each run is
// made in a child process of its own, so its peak resident size is its alone.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "driver.h"
#include "synthetic_table.h"

namespace {

struct RunShape {
  double recursiveComplexity = 1.5;
  int32_t variants = 3;
  int32_t folds = 10;
};

// Runs the engine on table.txt in folder with the given threads in a forked child and returns
// the child's peak resident size in kilobytes, or -1 when the child failed.
long PeakKilobytesOfRun(const std::filesystem::path& folder, const RunShape& shape,
                        int32_t threads) {
  int channel[2];
  if (pipe(channel) != 0) return -1;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    close(channel[0]);
    long peak = -1;
    if (chdir(folder.c_str()) == 0) {
      double targetWeight = 1.0, recursiveComplexity = shape.recursiveComplexity;
      double homogeneity = 0.05;
      int32_t monteCarlo = 100, variants = shape.variants, feature = 1, folds = shape.folds;
      tarvo::RunEngineOnThreads(targetWeight, recursiveComplexity, homogeneity, monteCarlo,
                                variants, feature, folds, "table.txt", nullptr, threads);
      rusage usage{};
      if (getrusage(RUSAGE_SELF, &usage) == 0) peak = usage.ru_maxrss;
    }
    const ssize_t written = write(channel[1], &peak, sizeof peak);
    _exit(written == sizeof peak ? 0 : 1);
  }
  close(channel[1]);
  long peak = -1;
  if (read(channel[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

class PeakMemory : public ::testing::TestWithParam<RunShape> {};

TEST_P(PeakMemory, TwoSearchThreadsUseAboutAsMuchAsOne) {
  tarvo::synthetic::TableShape shape;
  shape.objects = 120;
  shape.columns = 12;
  shape.classes = 4;
  shape.seed = 7;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tarvo-peak-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "table.txt", std::ios::binary) << tarvo::synthetic::MakeTable(shape);
  std::filesystem::copy_file(TARVO_PROG_PAR, folder / "prog.par",
                             std::filesystem::copy_options::overwrite_existing);

  const long one = PeakKilobytesOfRun(folder, GetParam(), 1);
  const long two = PeakKilobytesOfRun(folder, GetParam(), 2);
  std::filesystem::remove_all(folder);
  ASSERT_GT(one, 0);
  ASSERT_GT(two, 0);
  std::printf("peak resident size: %ld kB on one thread, %ld kB on two\n", one, two);
  // The second thread brings its own stack and search state and a bounded log of the feature
  // scores it credits ahead of their turn, never a store that keeps growing.
  EXPECT_LT(two, 2 * one);
}

// Many trees of a short look-ahead; one tree of a fractional look-ahead whose deeper searches
// read the feature scores that the searches before them credit.
INSTANTIATE_TEST_SUITE_P(Runs, PeakMemory,
                         ::testing::Values(RunShape{1.5, 3, 10}, RunShape{1.7, 1, 1}),
                         [](const auto& info) {
                           return info.index == 0 ? "ManyTrees" : "DeepSeries";
                         });

}  // namespace
