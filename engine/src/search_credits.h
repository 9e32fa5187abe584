// The feature scores a search credits: every split of a feature's best partition, down to the
// last level, adds that partition's score to its feature's score, which the next, thinner search
// of a fractional look-ahead ranks features by. The credits own the way there: straight to the
// run, or through the log of a top-level job that waits for its turn (see TCreditOrder), with a
// copy captured for the search cache and the cache's copies replayed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "credit_order.h"
#include "search_frame.h"

namespace tarvo {

class TSearchCredits {
 public:
  explicit TSearchCredits(TRunState& run) : run_(run) {}

  // Adds score to feature f's score.
  void Credit(int32_t f, double score);
  // The credits of the frame's feature once it is evaluated at a node whose score without a split
  // is nodeScore: its best partition's score to it and to every split inside that partition.
  void CreditFeature(const TSearchFrame& frame, double nodeScore);

  // The credits of top-level job `job` of order go through the order from here until FinishJob.
  void StartJob(TCreditOrder& order, size_t job);
  // The node's score as the job knows it: at its turn, once it has had its turn.
  double TurnScore() const { return turnScore_; }
  void FinishJob(bool split, double bestScore);

  // From StartCapture to EndCapture the credits are copied into the capture too.
  void StartCapture();
  const TCreditLog& EndCapture();
  // Where a cache that finds a search puts the credits that search made; Replay credits them.
  TCreditLog& ReplayLog() { return replay_; }
  void Replay();

 private:
  void CreditSplits(const TNodeRec& node, double score);

  TRunState& run_;
  // While a top-level feature is evaluated as a job of order_, its credits wait in log_ until the
  // job's turn comes; from then on they go straight to the run, and turnScore_ is the node's score.
  TCreditOrder* order_ = nullptr;
  size_t job_ = 0;
  bool logging_ = false;
  TCreditLog log_;
  double turnScore_ = 0.0;
  bool capturing_ = false;  // the credits of the last-level search running go to capture_ too
  TCreditLog capture_;
  TCreditLog replay_;
};

}  // namespace tarvo
