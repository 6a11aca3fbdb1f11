// COM-style apartments: which threads have a context a waiting task can
// resume in, and how to get onto it. The host's platform thread is the
// single-threaded apartment; pool threads are in the multithreaded one.
#pragma once

#include <functional>
#include <memory>

#include "platform/platform_error.h"

namespace quillmar::platform {

enum class ApartmentType { kSingleThreaded, kMultiThreaded, kNeutral, kMainSingleThreaded };

// A captured object context (IContextCallback). Created on the thread it
// describes; used from any thread.
class ObjectContext {
 public:
  virtual ~ObjectContext() = default;
  // True when the calling thread is in this context.
  virtual bool IsCurrent() const = 0;
  // Runs `work` in this context and returns when it has run; kSOk, or the
  // failure code when the context can no longer be entered (work not run).
  virtual HResult Enter(std::function<void()> work) = 0;
  // Queues `work` to run in this context without waiting, after the work
  // queued before it. False when the context is gone (work not run).
  virtual bool Post(std::function<void()> work) = 0;
};

// Enter for a context whose only way in is its queue: runs `work` at once
// on the context's own thread, otherwise posts it and waits until it has
// run there. kRpcEDisconnected when the queue refuses it.
HResult EnterThroughQueue(ObjectContext& context, std::function<void()> work);

class Apartment {
 public:
  virtual ~Apartment() = default;
  // The calling thread's object context, or null when it has none to resume in.
  virtual std::shared_ptr<ObjectContext> CaptureContext() = 0;
  // The calling thread's message loop as a context: work posted to it runs
  // on this thread, in the order posted, whatever its apartment. Call it on
  // a thread that runs a message loop as long as the context is used (the
  // host's platform thread); null when none can be made.
  virtual std::shared_ptr<ObjectContext> CaptureMessageLoop() = 0;
  // The calling thread's apartment type; false when the query fails.
  virtual bool QueryApartmentType(ApartmentType* type) = 0;
};

}  // namespace quillmar::platform
