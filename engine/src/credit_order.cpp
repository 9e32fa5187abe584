#include "credit_order.h"

#include <algorithm>

#include "run_state.h"

namespace tarvo {

void TCreditOrder::Start(size_t jobs, double nodeScore) {
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_.clear();
  jobs_.resize(jobs);
  turn_ = 0;
  waiting_ = 0;
  nodeScore_ = nodeScore;
  abandoned_ = false;
}

void TCreditOrder::SetLimits(size_t logLimit, size_t waitingLimit) {
  logLimit_ = logLimit;
  waitingLimit_ = waitingLimit;
}

bool TCreditOrder::HasTurn(size_t j, double& nodeScore) {
  std::lock_guard<std::mutex> lock(mutex_);
  nodeScore = nodeScore_;
  return turn_ == j;
}

double TCreditOrder::AwaitTurn(size_t j, TCreditLog& log) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return turn_ == j || abandoned_; });
  if (abandoned_) throw Abandoned{};
  // No other job credits before this one finishes.
  ApplyLog(log);
  return nodeScore_;
}

void TCreditOrder::Finish(size_t j, TCreditLog& log, bool split, double bestScore) {
  std::unique_lock<std::mutex> lock(mutex_);
  TJobState& job = jobs_[j];
  job.Done = true;
  job.Split = split;
  job.BestScore = bestScore;
  waiting_ += log.size();
  mostWaiting_ = std::max(mostWaiting_, waiting_);
  job.Log.swap(log);
  log.clear();
  AdvanceTurn();
  changed_.notify_all();
  // A thread ahead of the turn takes no other job while the finished logs hold too much.
  changed_.wait(lock, [&] { return waiting_ <= waitingLimit_ || abandoned_; });
}

void TCreditOrder::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  changed_.notify_all();
}

void TCreditOrder::AdvanceTurn() {
  while (turn_ < jobs_.size() && jobs_[turn_].Done) {
    TJobState& job = jobs_[turn_];
    waiting_ -= job.Log.size();
    ApplyLog(job.Log);
    TCreditLog().swap(job.Log);
    // The node takes a split only when it scores strictly better, as the search adopts it.
    if (job.Split && job.BestScore < nodeScore_) nodeScore_ = job.BestScore;
    ++turn_;
  }
}

void TCreditOrder::ApplyLog(TCreditLog& log) {
  for (const TCredit& credit : log) {
    run_.CreditFeature(credit.Feature, credit.AtNodeScore ? nodeScore_ : credit.Score);
  }
  log.clear();
}

}  // namespace tarvo
