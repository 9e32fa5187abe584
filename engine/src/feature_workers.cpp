// The top-level search: the candidate features as jobs for the pool, and their outcomes adopted by
// the caller's search in feature order.
#include "feature_workers.h"

#include "value_groups.h"

namespace tarvo {

namespace {
// Below this many objects a search is too short to be worth handing to another thread.
constexpr int32_t kParallelObjects = 24;
}  // namespace

bool TFeatureWorkers::WorthSharing(int32_t n) const {
  // A search without look-ahead takes microseconds per feature: waking a thread costs more.
  return n >= kParallelObjects && run_.LookAhead > 1;
}

TFeatureWorkers::TFeatureWorkers(TRunState& run, int32_t threads)
    : run_(run), order_(run), pool_(threads) {
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
  pool_.Run(jobs_.size(), WorthSharing(n), work, abandon);
}

TSearchResult TFeatureWorkers::SearchSplit(TSplitSearch& search, TNodeRec& node,
                                           const int32_t* objects, int32_t n,
                                           const TFeatureMask& mask, int32_t excludedFeature) {
  if (!WorthSharing(n)) return search.SearchSplit(node, objects, n, mask, 0, excludedFeature);
  TSearchResult result;
  if (!search.OpenTopNode(node, objects, n, mask, excludedFeature, result)) return result;
  // Which features are candidates depends on the data alone, so the mask that each feature's
  // evaluation sees (the non-candidates before it switched off) is known before any of them runs.
  jobs_.clear();
  TFeatureMask jobMask = mask;
  for (int32_t f = 1; f <= run_.M(); ++f) {
    if (!jobMask[f] || (f == excludedFeature && !run_.BinarySplits)) continue;
    if (!IsCandidateFeature(run_, objects, n, f)) {
      jobMask[f] = false;
      continue;
    }
    TFeatureJob& job = jobs_.emplace_back();
    job.Feature = f;
    job.Mask = jobMask;
  }
  // The credits reach the run in feature order while the features are evaluated; the node then
  // takes the best split in that order too.
  Evaluate(objects, n, excludedFeature, result.Score);
  for (TFeatureJob& job : jobs_) search.AdoptTopOutcome(node, result, job.Outcome, job.Mask);
  return result;
}

}  // namespace tarvo
