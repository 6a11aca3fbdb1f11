// The process thread pool with its timers (TrySubmitThreadpoolCallback and
// thread-pool timers on Windows). Callable from any thread.
#pragma once

#include <chrono>
#include <functional>

namespace quillmar::platform {

class ThreadPool {
 public:
  virtual ~ThreadPool() = default;
  // Runs `work` on a pool thread. False when it could not be queued.
  virtual bool Submit(std::function<void()> work) = 0;
  // Runs `work` on a pool thread once `delay` has passed. False when it could
  // not be queued.
  virtual bool SubmitAfter(std::chrono::milliseconds delay, std::function<void()> work) = 0;
};

}  // namespace quillmar::platform
