// Credits to the run, through a job's log, into the capture, and from a replay.
#include "search_credits.h"

namespace tarvo {

void TSearchCredits::Credit(int32_t f, double score) {
  if (capturing_) capture_.push_back(TCredit{.Feature = f, .Score = score});
  if (!logging_) {
    run_.CreditFeature(f, score);
    return;
  }
  log_.push_back(TCredit{.Feature = f, .Score = score});
  if (log_.size() >= order_->LogLimit()) {
    turnScore_ = order_->AwaitTurn(job_, log_);
    logging_ = false;
  }
}

void TSearchCredits::CreditSplits(const TNodeRec& node, double score) {
  if (!node.FirstBranch) return;
  Credit(node.Feature, score);
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) CreditSplits(*b->Child, score);
}

void TSearchCredits::CreditFeature(const TSearchFrame& frame, double nodeScore) {
  const TBestPartition& best = frame.Best;
  if (best.Score == kMissingScore) {
    // A job ahead of its turn does not know its own node's score yet: it is filled in at the
    // turn. A nested node's score is known.
    if (logging_ && frame.Depth == 1) {
      log_.push_back(TCredit{.Feature = frame.Feature, .AtNodeScore = true});
    } else {
      Credit(frame.Feature, nodeScore);
    }
    return;
  }
  // Every split inside the best partition is credited with the feature's score, not its own.
  Credit(frame.Feature, best.Score);
  for (const TBranchRec* b : best.Branches) CreditSplits(*b->Child, best.Score);
}

void TSearchCredits::StartJob(TCreditOrder& order, size_t job) {
  order_ = &order;
  job_ = job;
  log_.clear();
  logging_ = run_.ScoresRead && !order.HasTurn(job, turnScore_);
}

void TSearchCredits::FinishJob(bool split, double bestScore) {
  logging_ = false;
  order_->Finish(job_, log_, split, bestScore);
}

void TSearchCredits::StartCapture() {
  capture_.clear();
  capturing_ = true;
}

const TCreditLog& TSearchCredits::EndCapture() {
  capturing_ = false;
  return capture_;
}

void TSearchCredits::Replay() {
  for (const TCredit& credit : replay_) Credit(credit.Feature, credit.Score);
}

}  // namespace tarvo
