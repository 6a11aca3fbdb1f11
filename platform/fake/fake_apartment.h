// Apartments for tests. Threads join an apartment type and, optionally, an
// object context; FakeStaThread is a single-threaded apartment (one thread
// running the work posted to it), FakeMtaContext the multithreaded one.
// FakeApartment is created by the test and called from any thread; one mutex
// guards its table of members.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "base/task_queue.h"
#include "platform/apartment.h"

namespace quillmar::platform::fake {

class FakeApartment : public Apartment {
 public:
  // Makes the calling thread a member of `context` (may be null) and of an
  // apartment of `type`, until it leaves.
  void Join(std::weak_ptr<ObjectContext> context, ApartmentType type);
  void Leave();
  // Makes QueryApartmentType fail on every thread.
  void set_type_query_fails(bool fails);

  std::shared_ptr<ObjectContext> CaptureContext() override;
  // A fake single-threaded apartment's queue is its message loop.
  std::shared_ptr<WorkQueue> CaptureMessageLoop() override { return CaptureContext(); }
  bool QueryApartmentType(ApartmentType* type) override;

 private:
  struct Membership {
    std::weak_ptr<ObjectContext> context;
    ApartmentType type;
  };
  mutable std::mutex mutex_;
  std::map<std::thread::id, Membership> members_;
  bool type_query_fails_ = false;
};

// A single-threaded apartment: base's task-queue thread, a member of the
// apartment while it runs. Created on the test thread, which also stops it;
// Post, Enter and IsCurrent are called from any thread.
class FakeStaThread : public ObjectContext, public std::enable_shared_from_this<FakeStaThread> {
 public:
  static std::shared_ptr<FakeStaThread> Start(FakeApartment* apartment,
                                              ApartmentType type = ApartmentType::kSingleThreaded);
  ~FakeStaThread() override;

  // Runs the queued work, then ends the thread; later work is refused.
  void Stop();
  std::thread::id id() const { return thread_->id(); }
  // Runs `work` on the thread and returns when it has run; false when the
  // thread has stopped (work not run).
  bool RunAndWait(std::function<void()> work);
  // Makes Enter fail with `code` without running its work.
  void FailEnter(HResult code);

  bool IsCurrent() const override;
  HResult Enter(std::function<void()> work) override;
  bool Post(std::function<void()> work) override;

 private:
  FakeStaThread() = default;

  std::unique_ptr<base::TaskThread> thread_;
  std::mutex mutex_;  // guards enter_failure_
  HResult enter_failure_ = kSOk;
};

// The multithreaded apartment's context: current on the threads that joined
// it; entering runs the work on the calling thread; it takes no posted work.
class FakeMtaContext : public ObjectContext {
 public:
  explicit FakeMtaContext(FakeApartment* apartment) : apartment_(apartment) {}
  bool IsCurrent() const override;
  HResult Enter(std::function<void()> work) override;
  bool Post(std::function<void()> work) override;

 private:
  FakeApartment* apartment_;
};

}  // namespace quillmar::platform::fake
