#include "host/host_thread.h"

#include <exception>
#include <future>

#include "host/report.h"

namespace quillmar::host {
namespace {

thread_local HostThread* current_thread = nullptr;

void RunReportingFailure(const std::function<void()>& task) {
  try {
    task();
  } catch (...) {
    ReportHostProblem("a task on the platform thread threw; ignored");
  }
}

}  // namespace

HostThread* HostThread::Start() {
  auto* thread = new HostThread();
  thread->thread_ = std::thread([thread] { thread->Loop(); });
  return thread;
}

void HostThread::AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }

void HostThread::Release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

HostThread* HostThread::Current() { return current_thread; }

bool HostThread::IsCurrent() const { return current_thread == this; }

bool HostThread::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    queue_.push_back(std::move(task));
  }
  queued_.notify_one();
  return true;
}

bool HostThread::RunSync(const std::function<void()>& task) {
  if (IsCurrent()) {
    task();
    return true;
  }
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  bool posted = Post([&task, &done] {
    try {
      task();
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  if (!posted) return false;
  finished.get();
  return true;
}

void HostThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_one();
  if (!thread_.joinable()) return;
  // Stopped from a task of its own, the loop ends after that task; it keeps
  // its own reference until then.
  if (IsCurrent()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void HostThread::Loop() {
  current_thread = this;
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [this] { return !queue_.empty() || stopping_; });
      if (queue_.empty()) break;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    RunReportingFailure(task);
  }
  current_thread = nullptr;
  Release();
}

}  // namespace quillmar::host
