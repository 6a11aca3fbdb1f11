// A fake's script of what its next calls do, per operation: queued
// failures, queued actions to run first, and a count of the calls. Any
// thread may call it; its own mutex guards it, so a fake may call Enter
// under its mutex and RunAction outside it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace quillmar::platform::fake {

template <typename Op, typename Failure>
class CallScript {
 public:
  void FailNext(Op op, Failure failure) {
    std::lock_guard lock(mutex_);
    failures_[op].push_back(std::move(failure));
  }

  void RunBeforeNext(Op op, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_[op].push_back(std::move(action));
  }

  // How often `op` has been entered, failed calls included.
  int calls(Op op) const {
    std::lock_guard lock(mutex_);
    auto entry = calls_.find(op);
    return entry == calls_.end() ? 0 : entry->second;
  }

  // Runs the action queued for `op`, if any, without holding the mutex: an
  // action may call the fake, or throw to stop the caller there.
  void RunAction(Op op) {
    std::function<void()> action;
    {
      std::lock_guard lock(mutex_);
      auto& queued = actions_[op];
      if (queued.empty()) return;
      action = std::move(queued.front());
      queued.pop_front();
    }
    action();
  }

  // Counts the call and takes its queued failure, if any.
  std::optional<Failure> Enter(Op op) {
    std::lock_guard lock(mutex_);
    ++calls_[op];
    auto& queued = failures_[op];
    if (queued.empty()) return std::nullopt;
    std::optional<Failure> failure(std::move(queued.front()));
    queued.pop_front();
    return failure;
  }

 private:
  mutable std::mutex mutex_;
  std::map<Op, std::deque<Failure>> failures_;
  std::map<Op, std::deque<std::function<void()>>> actions_;
  std::map<Op, int> calls_;
};

}  // namespace quillmar::platform::fake
