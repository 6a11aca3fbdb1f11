// The host's platform thread: base's task-queue thread, reference counted.
// On Windows it is a single-threaded COM apartment running a message loop,
// as the real embedding's UI thread, and tasks reach it as messages to a
// message-only window of its own.
#pragma once

#include <atomic>
#include <functional>

#if defined(_WIN32)
#include <deque>
#include <mutex>
#include <thread>
#else
#include "base/task_queue.h"
#endif

namespace quillmar::host {

// Created by HostEngine on the thread that builds the engine; reference
// counted (the engine, the running loop and every captured apartment
// context hold one). Post, RunSync and IsCurrent are called from any
// thread; Stop from any thread.
class HostThread {
 public:
  // Starts a thread; the caller holds the one reference returned.
  static HostThread* Start();

  void AddRef();
  void Release();

  // The host thread the caller runs on (no new reference), or null.
  static HostThread* Current();
  bool IsCurrent() const;

  // Queues `task` behind what is queued; a task accepted here always runs.
  // False (task not run) once Stop has begun.
  bool Post(std::function<void()> task);
  // Runs `task` on this thread and waits for it (at once when called on
  // this thread). Rethrows what the task threw; false when stopped.
  bool RunSync(const std::function<void()>& task);
  // Refuses further posts, runs what is queued, ends the loop and joins it.
  void Stop();

#if defined(_WIN32)
  // The window handle (HWND) of a top-level window owned by this thread,
  // made on first request; null when none can be made. Any thread.
  void* ViewWindow();
  // Runs what is queued; at the end of a stop, ends the message loop. Only
  // the loop's window procedure calls it.
  void RunQueued();
#endif

 private:
  HostThread();
  ~HostThread() = default;

  std::atomic<int> references_{2};  // the caller's and the loop's
#if defined(_WIN32)
  void Loop();

  std::thread thread_;
  std::mutex mutex_;  // guards the queue, the stop state and the windows
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  void* task_window_ = nullptr;  // HWND, made and destroyed by the loop
  void* view_window_ = nullptr;  // HWND, made on the loop's thread on request
#else
  base::TaskThread thread_;  // last: its thread may use the above at once
#endif
};

}  // namespace quillmar::host
