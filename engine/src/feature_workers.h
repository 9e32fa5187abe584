// Evaluates the candidate features of a tree's top-level search on several threads. Each worker
// has its own search state and records; the credits reach the run in feature order (see
// TCreditOrder), so the result is the same with any number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "split_search.h"

namespace tarvo {

struct TFeatureJob {
  int32_t Feature = 0;
  TFeatureMask Mask;  // the search's mask as it stands when this feature's turn comes
  TFeatureOutcome Outcome;
};

// Whether feature f can split objects[0..n-1]: at least two different known values (codes for a
// nominal feature) and fewer than half of the objects without a value.
bool IsCandidateFeature(const TRunState& run, const int32_t* objects, int32_t n, int32_t f);

class TFeatureWorkers {
 public:
  // threads >= 2: the calling thread works too, threads - 1 more are started.
  TFeatureWorkers(TRunState& run, int32_t threads);
  ~TFeatureWorkers();
  TFeatureWorkers(const TFeatureWorkers&) = delete;
  TFeatureWorkers& operator=(const TFeatureWorkers&) = delete;

  std::vector<TFeatureJob>& Jobs() { return jobs_; }
  TCreditOrder& Order() { return order_; }
  // Runs every job of Jobs() at a node whose score without a split is nodeScore and returns when
  // all are done.
  void Evaluate(const int32_t* objects, int32_t n, int32_t excludedFeature, double nodeScore);

 private:
  void WorkerLoop(size_t index);
  void RunJobs(size_t index);

  std::vector<std::unique_ptr<TSplitSearch>> searches_;
  std::vector<std::thread> threads_;
  std::vector<TFeatureJob> jobs_;
  TCreditOrder order_;

  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  uint64_t generation_ = 0;
  size_t running_ = 0;
  bool stopping_ = false;
  std::atomic<size_t> next_{0};
  std::exception_ptr error_;
  const int32_t* objects_ = nullptr;
  int32_t n_ = 0;
  int32_t excluded_ = 0;
};

}  // namespace tarvo
