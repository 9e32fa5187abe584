// Puts the feature-score credits of a top-level search that runs on several threads in feature
// order, as one thread would make them, while keeping the credits waiting for their turn few.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tarvo {

struct TRunState;

// A credit of Score to a feature's score, or of the node's score as it stands when the job's turn
// comes (a job ahead of its turn does not know it yet).
struct TCredit {
  int32_t Feature = 0;
  bool AtNodeScore = false;
  double Score = 0.0;  // unless AtNodeScore
  bool operator==(const TCredit&) const = default;
};
using TCreditLog = std::vector<TCredit>;

// Job j (the j-th candidate feature) has its turn once every earlier job is finished and credited.
// A job logs its credits until then; a job whose log grows long waits for its turn and then
// credits directly, and a thread that finishes a job ahead of its turn waits before taking another
// while the finished logs hold many credits. So the logs stay small however deep the look-ahead.
class TCreditOrder {
 public:
  // Thrown to a waiting job when another job of the search failed.
  struct Abandoned {};

  explicit TCreditOrder(TRunState& run) : run_(run) {}

  // Starts a search of `jobs` features at a node whose score without a split is nodeScore.
  void Start(size_t jobs, double nodeScore);
  // Whether job j has its turn; if so, nodeScore is the node's score at that turn.
  bool HasTurn(size_t j, double& nodeScore);
  // Blocks until job j has its turn, then credits and empties its log; returns the node's score.
  double AwaitTurn(size_t j, TCreditLog& log);
  // Job j is done: its log (emptied here) and, when it found a split, the split's score.
  void Finish(size_t j, TCreditLog& log, bool split, double bestScore);
  // A job failed: no job will wait for it.
  void Abandon();

  // How many credits one job logs before it waits for its turn, and how many the logs of finished
  // jobs may hold before their threads wait. The defaults keep the logs within about 2 MB while
  // the threads seldom wait; tests set them small to make every path run.
  void SetLimits(size_t logLimit, size_t waitingLimit);
  size_t LogLimit() const { return logLimit_; }
  // The most credits the logs of finished jobs held at once since the order was made.
  size_t MostWaiting() const { return mostWaiting_; }

 private:
  struct TJobState {
    bool Done = false;
    bool Split = false;
    double BestScore = 0.0;
    TCreditLog Log;
  };

  void ApplyLog(TCreditLog& log);
  // Credits every finished job at the head of the order and moves the turn past it.
  void AdvanceTurn();

  TRunState& run_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TJobState> jobs_;
  size_t turn_ = 0;     // the first job not yet credited
  size_t waiting_ = 0;  // credits in the logs of finished jobs that wait for their turn
  size_t mostWaiting_ = 0;
  size_t logLimit_ = size_t{1} << 15;
  size_t waitingLimit_ = size_t{1} << 16;
  double nodeScore_ = 0.0;
  bool abandoned_ = false;
};

}  // namespace tarvo
