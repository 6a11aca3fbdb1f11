// The host's platform thread: base's task-queue thread, reference counted.
#pragma once

#include <atomic>
#include <functional>

#include "base/task_queue.h"

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

 private:
  HostThread();
  ~HostThread() = default;

  std::atomic<int> references_{2};  // the caller's and the loop's
  base::TaskThread thread_;         // last: its thread may use the above at once
};

}  // namespace quillmar::host
