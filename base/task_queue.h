// The one task queue and the thread that drains it: the host's platform
// thread, the test apartments' threads and the thread pool's workers are
// all this. (The X11 selection owner is not: it waits on X events as well,
// so it has a poll loop of its own.)
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quillmar::base {

// Tasks in order of posting, taken by one thread or several. Any thread may
// post. Once closed, posts are refused and takers drain what was accepted.
class TaskQueue {
 public:
  // Queues `task` behind what is queued; false, dropping it, once closed.
  bool Post(std::function<void()> task);
  // Waits for the next task; false once the queue is closed and empty.
  bool Take(std::function<void()>* task);
  void Close();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> tasks_;
  bool closed_ = false;
};

// One thread that runs `begin`, then each task posted to it, then `end`
// once stopped and drained. A task that throws calls `failed` on the
// thread, with the exception current; without `failed` the process ends,
// as for any thread. A task accepted by Post always runs, so a caller may
// wait for it. The thread shares the queue, so it may finish after the
// TaskThread is gone (when Stop came from one of its tasks).
class TaskThread {
 public:
  struct Hooks {
    std::function<void()> begin;
    std::function<void()> end;  // may destroy the TaskThread
    std::function<void()> failed;
  };

  explicit TaskThread(Hooks hooks = {});
  // Stops the thread (see Stop).
  ~TaskThread();
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;

  bool Post(std::function<void()> task) { return queue_->Post(std::move(task)); }
  // Runs `task` on the thread and waits for it, or at once when called on
  // the thread; rethrows what it threw. False, not running it, once stopped.
  bool RunAndWait(const std::function<void()>& task);
  bool IsCurrent() const { return std::this_thread::get_id() == id_; }
  std::thread::id id() const { return id_; }
  // Refuses further tasks, lets the queued ones run and joins the thread.
  // Called from a task of its own, the thread ends after that task.
  void Stop();

 private:
  static void Run(TaskQueue& queue, Hooks hooks);

  std::shared_ptr<TaskQueue> queue_ = std::make_shared<TaskQueue>();
  std::thread thread_;
  std::thread::id id_;
};

}  // namespace quillmar::base
