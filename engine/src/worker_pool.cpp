#include "worker_pool.h"

namespace tarvo {

TWorkerPool::TWorkerPool(int32_t threads) {
  for (int32_t i = 1; i < threads; ++i) threads_.emplace_back(&TWorkerPool::WorkerLoop, this, i);
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void TWorkerPool::RunJobs(size_t worker) {
  try {
    for (size_t j = next_++; j < jobs_; j = next_++) (*work_)(worker, j);
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      next_ = jobs_;
    }
    (*onError_)();
  }
}

void TWorkerPool::WorkerLoop(size_t worker) {
  uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
    }
    RunJobs(worker);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
    done_.notify_one();
  }
}

void TWorkerPool::Run(size_t jobs, bool parallel, const TWork& work,
                      const std::function<void()>& onError) {
  jobs_ = jobs;
  work_ = &work;
  onError_ = &onError;
  next_ = 0;
  error_ = nullptr;
  if (!parallel || jobs < 2 || threads_.empty()) {
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
