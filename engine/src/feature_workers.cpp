#include "feature_workers.h"

namespace tarvo {

namespace {
// Below this many objects a search is too short to be worth handing to another thread.
constexpr int32_t kParallelObjects = 24;
}  // namespace

TFeatureWorkers::TFeatureWorkers(TRunState& run, int32_t threads) : order_(run), pool_(threads) {
  while (static_cast<int32_t>(run.WorkerRecords.size()) < threads) {
    run.WorkerRecords.push_back(std::make_unique<TRecordStore>());
  }
  for (int32_t i = 0; i < threads; ++i) {
    searches_.push_back(std::make_unique<TSplitSearch>(run, *run.WorkerRecords[i]));
  }
}

void TFeatureWorkers::Evaluate(const int32_t* objects, int32_t n, int32_t excludedFeature,
                               double nodeScore) {
  order_.Start(jobs_.size(), nodeScore);
  const TWorkerPool::TWork work = [&](size_t worker, size_t j) {
    TFeatureJob& job = jobs_[j];
    searches_[worker]->EvaluateTopFeature(objects, n, job.Mask, excludedFeature, job.Feature,
                                          job.Outcome, order_, j);
  };
  // Jobs waiting for a turn that will not come stop too.
  const std::function<void()> abandon = [this] { order_.Abandon(); };
  pool_.Run(jobs_.size(), n >= kParallelObjects, work, abandon);
}

}  // namespace tarvo
