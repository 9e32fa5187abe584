#include "feature_workers.h"

#include <cmath>

namespace tarvo {

namespace {
// Below this many objects a search is too short to be worth handing to another thread.
constexpr int32_t kParallelObjects = 24;
}  // namespace

bool IsCandidateFeature(const TRunState& run, const int32_t* objects, int32_t n, int32_t f) {
  const std::vector<double>& column = run.Table.Data[f];
  const bool nominal = run.Table.FeatureType[f] == ftNominal;
  int32_t known = 0;
  bool seen = false, differs = false;
  double first = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    double x = column[objects[i]];
    if (!IsKnown(x)) continue;
    ++known;
    if (nominal) x = std::trunc(x);
    if (!seen) {
      seen = true;
      first = x;
    } else if (x != first) {
      differs = true;
    }
  }
  return differs && known > 0 && static_cast<double>(n - known) / n < 0.5;
}

TFeatureWorkers::TFeatureWorkers(TRunState& run, int32_t threads) : order_(run) {
  while (static_cast<int32_t>(run.WorkerRecords.size()) < threads) {
    run.WorkerRecords.push_back(std::make_unique<TRecordStore>());
  }
  for (int32_t i = 0; i < threads; ++i) {
    searches_.push_back(std::make_unique<TSplitSearch>(run, *run.WorkerRecords[i]));
  }
  for (int32_t i = 1; i < threads; ++i)
    threads_.emplace_back(&TFeatureWorkers::WorkerLoop, this, i);
}

TFeatureWorkers::~TFeatureWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void TFeatureWorkers::RunJobs(size_t index) {
  try {
    for (size_t j = next_++; j < jobs_.size(); j = next_++) {
      TFeatureJob& job = jobs_[j];
      searches_[index]->EvaluateTopFeature(objects_, n_, job.Mask, excluded_, job.Feature,
                                           job.Outcome, order_, j);
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      next_ = jobs_.size();
    }
    // Jobs waiting for a turn that will not come stop too.
    order_.Abandon();
  }
}

void TFeatureWorkers::WorkerLoop(size_t index) {
  uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
    }
    RunJobs(index);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
    done_.notify_one();
  }
}

void TFeatureWorkers::Evaluate(const int32_t* objects, int32_t n, int32_t excludedFeature,
                               double nodeScore) {
  order_.Start(jobs_.size(), nodeScore);
  objects_ = objects;
  n_ = n;
  excluded_ = excludedFeature;
  next_ = 0;
  error_ = nullptr;
  if (n < kParallelObjects || jobs_.size() < 2 || threads_.empty()) {
    RunJobs(0);
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      running_ = threads_.size();
      ++generation_;
    }
    start_.notify_all();
    RunJobs(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return running_ == 0; });
  }
  if (error_) std::rethrow_exception(error_);
}

}  // namespace tarvo
