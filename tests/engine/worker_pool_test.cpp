#include "worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarvo {
namespace {

TEST(WorkerPoolTest, RunsEveryJobOnceOnAnyNumberOfThreads) {
  for (int32_t threads : {1, 3}) {
    TWorkerPool pool(threads);
    for (bool parallel : {false, true}) {
      std::vector<std::atomic<int>> runs(50);
      pool.Run(
          runs.size(), parallel, [&](size_t, size_t job) { ++runs[job]; }, [] {});
      for (const auto& r : runs) EXPECT_EQ(r.load(), 1);
    }
  }
}

TEST(WorkerPoolTest, AFailedJobStopsTheRestAndReachesTheCaller) {
  TWorkerPool pool(2);
  std::atomic<int> started{0}, errors{0};
  // Job 0 holds its thread until the failure is signalled, so job 1 runs on the other thread and
  // no job after it may start.
  const auto work = [&](size_t, size_t job) {
    ++started;
    if (job == 1) throw std::runtime_error("job 1");
    while (errors.load() == 0) std::this_thread::yield();
  };
  EXPECT_THROW(pool.Run(1000, true, work, [&] { ++errors; }), std::runtime_error);
  EXPECT_EQ(errors.load(), 1);
  EXPECT_EQ(started.load(), 2);
  // The pool is still usable after a failure.
  std::atomic<int> done{0};
  pool.Run(
      10, true, [&](size_t, size_t) { ++done; }, [] {});
  EXPECT_EQ(done.load(), 10);
}

}  // namespace
}  // namespace tarvo
