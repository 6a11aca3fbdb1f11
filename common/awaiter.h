// Awaiting a platform asynchronous operation from a coroutine. The awaiter
// captures the waiting thread's context, registers the completion, and
// resumes the task by one of four rules:
//   1. no captured context, or the completing thread is in it: resume there;
//   2. captured apartment multithreaded: resume on a pool thread;
//   3. completing thread single-threaded: a pool job enters the captured
//      context and resumes there, so the completing thread never blocks;
//   4. otherwise enter the captured context from the completing thread; a
//      failure to enter is recorded and raised when the task resumes.
// One atomic flag hands the task over between registration and callback, so
// exactly one of them continues it.
#pragma once

#include <atomic>
#include <coroutine>
#include <memory>
#include <utility>

#include "platform/apartment.h"
#include "platform/async_operation.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"

namespace quillmar {

enum class ResumeRule { kInline, kPoolForMultithreaded, kPoolEntersContext, kEnterFromCaller };

// Chooses the resumption rule for a completion seen on the calling thread.
ResumeRule ChooseResumeRule(const platform::ObjectContext* captured,
                            platform::ApartmentType captured_type);

// Resumes `handle` by `rule`; records a failure to enter in `*enter_failure`.
void ResumeByRule(ResumeRule rule, std::coroutine_handle<> handle,
                  std::shared_ptr<platform::ObjectContext> captured,
                  platform::HResult* enter_failure);

template <class Result>
class OperationAwaiter {
 public:
  explicit OperationAwaiter(platform::AsyncOperationPtr<Result> operation)
      : operation_(std::move(operation)) {}

  bool await_ready() const noexcept { return false; }

  bool await_suspend(std::coroutine_handle<> handle) {
    auto& apartment = platform::Current<platform::Apartment>();
    context_ = apartment.CaptureContext();
    if (!apartment.QueryApartmentType(&apartment_type_)) {
      apartment_type_ = platform::ApartmentType::kMultiThreaded;
    }
    operation_->SetCompleted([this, handle](platform::AsyncStatus) {
      if (suspending_.exchange(false, std::memory_order_acq_rel)) return;
      ResumeByRule(ChooseResumeRule(context_.get(), apartment_type_), handle, context_,
                   &enter_failure_);
    });
    // False when the operation completed during registration: go on at once.
    return suspending_.exchange(false, std::memory_order_acq_rel);
  }

  Result await_resume() {
    if (enter_failure_ != platform::kSOk) throw platform::PlatformError(enter_failure_);
    if (operation_->Status() == platform::AsyncStatus::kCanceled) {
      throw platform::PlatformError(platform::kECanceled);
    }
    return operation_->GetResults();
  }

 private:
  platform::AsyncOperationPtr<Result> operation_;
  std::shared_ptr<platform::ObjectContext> context_;
  platform::ApartmentType apartment_type_ = platform::ApartmentType::kMultiThreaded;
  platform::HResult enter_failure_ = platform::kSOk;
  std::atomic<bool> suspending_{true};
};

template <class Result>
OperationAwaiter<Result> operator co_await(platform::AsyncOperationPtr<Result> operation) {
  return OperationAwaiter<Result>(std::move(operation));
}

// Continues a task through `context`'s queue, behind the work posted to it
// before; at once where there is no context or it takes no work.
class ContinueOn {
 public:
  explicit ContinueOn(std::shared_ptr<platform::WorkQueue> context)
      : context_(std::move(context)) {}

  bool await_ready() const noexcept { return context_ == nullptr; }
  bool await_suspend(std::coroutine_handle<> handle) {
    return context_->Post([handle] { handle.resume(); });
  }
  void await_resume() const noexcept {}

 private:
  std::shared_ptr<platform::WorkQueue> context_;
};

// The return type of a task that nobody awaits: it starts at once, runs to its
// first wait on the starting thread and frees itself when it ends. The body
// catches its own failures; one that escapes anyway ends the task.
struct DetachedTask {
  struct promise_type {
    DetachedTask get_return_object() noexcept { return {}; }
    std::suspend_never initial_suspend() noexcept { return {}; }
    std::suspend_never final_suspend() noexcept { return {}; }
    void return_void() noexcept {}
    void unhandled_exception() noexcept {}
  };
};

}  // namespace quillmar
