// A fixed set of threads that run numbered jobs: the calling thread works too, so a pool of one
// thread runs everything in the caller.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvo {

class TWorkerPool {
 public:
  using TWork = std::function<void(size_t worker, size_t job)>;

  // threads >= 1: threads - 1 are started beside the caller's.
  explicit TWorkerPool(int32_t threads);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int32_t Threads() const { return static_cast<int32_t>(threads_.size()) + 1; }

  // Runs work(worker, job) for jobs 0..jobs-1, each once, taken in ascending order, on every
  // thread when `parallel`, else on the caller's alone; returns when all are done. When a job
  // throws, no further job starts, onError is called (so that jobs waiting on one another can
  // stop), and the first exception is rethrown here.
  void Run(size_t jobs, bool parallel, const TWork& work, const std::function<void()>& onError);

 private:
  void WorkerLoop(size_t worker);
  void RunJobs(size_t worker);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  uint64_t generation_ = 0;  // counts the calls of Run that use the started threads
  size_t running_ = 0;       // started threads still busy with the current call
  bool stopping_ = false;
  std::atomic<size_t> next_{0};  // the next job to take
  size_t jobs_ = 0;
  const TWork* work_ = nullptr;
  const std::function<void()>* onError_ = nullptr;
  std::exception_ptr error_;
};

}  // namespace tarvo
