// A thread pool whose timers fire when the test says, each on a thread of
// its own, so that a time to live passes without waiting for it.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread_pool.h"

namespace quillmar::testing {

class ManualTimerPool : public platform::ThreadPool {
 public:
  bool Submit(std::function<void()> work) override {
    std::thread(std::move(work)).join();
    return true;
  }

  bool SubmitAfter(std::chrono::milliseconds delay, std::function<void()> work) override {
    std::lock_guard lock(mutex_);
    timers_.push_back({delay, std::move(work)});
    return true;
  }

  std::vector<std::chrono::milliseconds> PendingDelays() const {
    std::lock_guard lock(mutex_);
    std::vector<std::chrono::milliseconds> delays;
    for (const Timer& timer : timers_) delays.push_back(timer.delay);
    return delays;
  }

  // Fires the oldest pending timer on a new thread and waits until its work
  // has run.
  void FireNext() {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      work = std::move(timers_.front().work);
      timers_.erase(timers_.begin());
    }
    std::thread(std::move(work)).join();
  }

 private:
  struct Timer {
    std::chrono::milliseconds delay;
    std::function<void()> work;
  };

  mutable std::mutex mutex_;
  std::vector<Timer> timers_;
};

}  // namespace quillmar::testing
