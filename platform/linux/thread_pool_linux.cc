// The process thread pool: a few worker threads and one timer thread.
// Created on first use and never destroyed, so that work still queued at
// exit (a clipboard expiry, say) cannot hold the process open.
#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "base/task_queue.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"

namespace quillmar::platform {
namespace {

class LinuxThreadPool : public ThreadPool {
 public:
  LinuxThreadPool() {
    unsigned count = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < count; ++i) std::thread([this] { RunWorker(); }).detach();
    std::thread([this] { RunTimers(); }).detach();
  }

  bool Submit(std::function<void()> work) override { return queue_.Post(std::move(work)); }

  bool SubmitAfter(std::chrono::milliseconds delay, std::function<void()> work) override {
    {
      std::lock_guard lock(mutex_);
      timers_.emplace(std::chrono::steady_clock::now() + delay, std::move(work));
    }
    timer_changed_.notify_one();
    return true;
  }

 private:
  // The workers share one queue, which is never closed.
  void RunWorker() {
    std::function<void()> work;
    while (queue_.Take(&work)) {
      work();
      work = nullptr;
    }
  }

  void RunTimers() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (timers_.empty()) {
        timer_changed_.wait(lock);
        continue;
      }
      auto due = timers_.begin()->first;
      if (std::chrono::steady_clock::now() < due) {
        timer_changed_.wait_until(lock, due);
        continue;
      }
      auto work = std::move(timers_.begin()->second);
      timers_.erase(timers_.begin());
      queue_.Post(std::move(work));
    }
  }

  base::TaskQueue queue_;
  std::mutex mutex_;  // guards timers_
  std::condition_variable timer_changed_;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> timers_;
};

}  // namespace

template <>
ThreadPool& DefaultService<ThreadPool>() {
  static auto* pool = new LinuxThreadPool();
  return *pool;
}

}  // namespace quillmar::platform
