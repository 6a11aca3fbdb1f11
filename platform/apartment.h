// Where a waiting task can resume, and how to get onto a thread. A work
// queue runs what is posted to it on one thread; an object context is a COM
// object context (IContextCallback) that can also be entered. The host's
// platform thread is the single-threaded apartment; pool threads are in the
// multithreaded one.
#pragma once

#include <functional>
#include <memory>

#include "platform/platform_error.h"

namespace quillmar::platform {

enum class ApartmentType { kSingleThreaded, kMultiThreaded, kNeutral, kMainSingleThreaded };

// A thread's queue of work. Created on the thread it describes; used from
// any thread.
class WorkQueue {
 public:
  virtual ~WorkQueue() = default;
  // True when the calling thread is the queue's.
  virtual bool IsCurrent() const = 0;
  // Queues `work` to run on the queue's thread without waiting, after the
  // work queued before it. False when the queue has ended: `work` is then
  // not run and is destroyed before Post returns.
  virtual bool Post(std::function<void()> work) = 0;
};

// A captured object context (IContextCallback).
class ObjectContext : public WorkQueue {
 public:
  // Runs `work` in this context and returns when it has run; kSOk, or the
  // failure code when the context can no longer be entered (work not run).
  virtual HResult Enter(std::function<void()> work) = 0;
};

// Enter for a queue that is the only way onto its thread: runs `work` at
// once when called on that thread, otherwise posts it and waits until it
// has run there. kSOk when it ran; kRpcEDisconnected when the queue refuses
// it or ends without running it. What `work` throws reaches the caller on
// both paths.
HResult EnterThroughQueue(WorkQueue& queue, std::function<void()> work);

class Apartment {
 public:
  virtual ~Apartment() = default;
  // The calling thread's object context, or null when it has none to resume in.
  virtual std::shared_ptr<ObjectContext> CaptureContext() = 0;
  // The calling thread's message loop as a work queue: work posted to it
  // runs on this thread, in the order posted, whatever its apartment. Call
  // it on a thread that runs a message loop as long as the queue is used
  // (the host's platform thread); null when none can be made.
  // The queue ends when its last reference goes. Work still pending then
  // runs, in order: on the queue's thread, behind the work posted before;
  // where that thread has ended, on the thread that drops the reference.
  // None is dropped unrun. Post after the thread has ended answers false.
  virtual std::shared_ptr<WorkQueue> CaptureMessageLoop() = 0;
  // The calling thread's apartment type; false when the query fails.
  virtual bool QueryApartmentType(ApartmentType* type) = 0;
};

}  // namespace quillmar::platform
