#include "base/task_queue.h"

#include <exception>
#include <future>
#include <utility>

#include "base/carried_failure.h"

namespace quillmar::base {

bool TaskQueue::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    tasks_.push_back(std::move(task));
  }
  changed_.notify_one();
  return true;
}

bool TaskQueue::Take(std::function<void()>* task) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return closed_ || !tasks_.empty(); });
  if (tasks_.empty()) return false;
  *task = std::move(tasks_.front());
  tasks_.pop_front();
  return true;
}

void TaskQueue::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

TaskThread::TaskThread(Hooks hooks) {
  // The thread waits until thread_ and id_ are set, so that its first task
  // can already ask IsCurrent.
  std::promise<void> constructed;
  std::shared_future<void> ready = constructed.get_future().share();
  thread_ = std::thread([queue = queue_, ready, hooks = std::move(hooks)]() mutable {
    ready.wait();
    Run(*queue, std::move(hooks));
  });
  id_ = thread_.get_id();
  constructed.set_value();
}

TaskThread::~TaskThread() { Stop(); }

bool TaskThread::RunAndWait(const std::function<void()>& task) {
  if (IsCurrent()) {
    task();
    return true;
  }
  // Shared, so that neither side outlives the promise it touches.
  auto done = std::make_shared<std::promise<std::exception_ptr>>();
  std::future<std::exception_ptr> finished = done->get_future();
  bool posted = Post([&task, done] { RunCarryingFailure(task, *done); });
  if (!posted) return false;
  if (std::exception_ptr failure = finished.get()) RethrowCarried(std::move(failure));
  return true;
}

void TaskThread::Stop() {
  queue_->Close();
  if (!thread_.joinable()) return;
  if (IsCurrent()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void TaskThread::Run(TaskQueue& queue, Hooks hooks) {
  if (hooks.begin) hooks.begin();
  std::function<void()> task;
  while (queue.Take(&task)) {
    if (hooks.failed) {
      try {
        task();
      } catch (...) {
        hooks.failed();
      }
    } else {
      task();
    }
    task = nullptr;
  }
  // `end` may destroy the TaskThread; the queue and hooks live on here.
  if (hooks.end) hooks.end();
}

}  // namespace quillmar::base
