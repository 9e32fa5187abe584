// The feature scores a search credits: every split of a feature's best partition, down to the
// last level, adds that partition's score to its feature's score, which the next, thinner search
// of a fractional look-ahead ranks features by.
#include "split_search.h"

namespace tarvo {

void TSplitSearch::CreditFeature(int32_t g, double score) {
  if (capturing_) capture_.push_back(TCredit{.Feature = g, .Score = score});
  if (!logging_) {
    run_.CreditFeature(g, score);
    return;
  }
  log_.push_back(TCredit{.Feature = g, .Score = score});
  if (log_.size() >= order_->LogLimit()) {
    turnScore_ = order_->AwaitTurn(job_, log_);
    logging_ = false;
  }
}

void TSplitSearch::CreditSplits(const TNodeRec& node, double score) {
  if (!node.FirstBranch) return;
  CreditFeature(node.Feature, score);
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) CreditSplits(*b->Child, score);
}

void TSplitSearch::RecordFeatureScores(TFrame& frame, double nodeScore) {
  if (frame.BestScore == kMissingScore) {
    // A job ahead of its turn does not know its own node's score yet: it is filled in at the
    // turn. A nested node's score is known.
    if (logging_ && frame.Depth == 1) {
      log_.push_back(TCredit{.Feature = frame.Feature, .AtNodeScore = true});
    } else {
      CreditFeature(frame.Feature, nodeScore);
    }
    return;
  }
  // Every split inside the best partition is credited with the feature's score, not its own.
  CreditFeature(frame.Feature, frame.BestScore);
  for (const TBranchRec* b : frame.Best) CreditSplits(*b->Child, frame.BestScore);
}

}  // namespace tarvo
