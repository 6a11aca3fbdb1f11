// A platform asynchronous operation (IAsyncOperation, IAsyncOperationWithProgress).
// The producer completes it from any thread; the consumer registers one
// completion handler, which runs on the completing thread, or at once on the
// registering thread when the operation has already ended.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/platform_error.h"

namespace quillmar::platform {

enum class AsyncStatus { kStarted, kCompleted, kCanceled, kError };

template <class Result>
class AsyncOperation {
 public:
  using CompletedHandler = std::function<void(AsyncStatus)>;

  virtual ~AsyncOperation() = default;

  // Registers the completion handler; a second registration is refused with
  // kEIllegalMethodCall. Runs it at once when the operation has ended.
  void SetCompleted(CompletedHandler handler) {
    std::unique_lock lock(mutex_);
    if (handler_registered_) throw PlatformError(kEIllegalMethodCall);
    handler_registered_ = true;
    if (status_ == AsyncStatus::kStarted) {
      handler_ = std::move(handler);
      return;
    }
    AsyncStatus status = status_;
    lock.unlock();
    handler(status);
  }

  AsyncStatus Status() const {
    std::lock_guard lock(mutex_);
    return status_;
  }

  // The result of a completed operation; raises the error of a failed one,
  // kECanceled for a cancelled one and kEIllegalMethodCall while it runs.
  Result GetResults() {
    std::lock_guard lock(mutex_);
    switch (status_) {
      case AsyncStatus::kCompleted:
        return *result_;
      case AsyncStatus::kError:
        throw *error_;
      case AsyncStatus::kCanceled:
        throw PlatformError(kECanceled);
      case AsyncStatus::kStarted:
        break;
    }
    throw PlatformError(kEIllegalMethodCall);
  }

  // Producer side; the first ending wins, later ones are ignored.
  void Complete(Result result) {
    Finish(AsyncStatus::kCompleted, [&] { result_.emplace(std::move(result)); });
  }
  void Fail(PlatformError error) {
    Finish(AsyncStatus::kError, [&] { error_.emplace(std::move(error)); });
  }
  void Cancel() {
    Finish(AsyncStatus::kCanceled, [] {});
  }

 private:
  template <class Store>
  void Finish(AsyncStatus status, Store store) {
    CompletedHandler handler;
    {
      std::lock_guard lock(mutex_);
      if (status_ != AsyncStatus::kStarted) return;
      store();
      status_ = status;
      handler = std::move(handler_);
    }
    if (handler) handler(status);
  }

  mutable std::mutex mutex_;
  AsyncStatus status_ = AsyncStatus::kStarted;
  bool handler_registered_ = false;
  CompletedHandler handler_;
  std::optional<Result> result_;
  std::optional<PlatformError> error_;
};

template <class Result, class Progress>
class AsyncOperationWithProgress : public AsyncOperation<Result> {
 public:
  using ProgressHandler = std::function<void(const Progress&)>;

  void SetProgress(ProgressHandler handler) {
    std::lock_guard lock(progress_mutex_);
    progress_handler_ = std::move(handler);
  }

  // Producer side: reports progress to the handler, on the calling thread.
  // Reports are delivered one at a time, in the order they are made.
  void ReportProgress(const Progress& progress) {
    std::lock_guard lock(progress_mutex_);
    if (progress_handler_) progress_handler_(progress);
  }

 private:
  std::mutex progress_mutex_;
  ProgressHandler progress_handler_;
};

template <class Result>
using AsyncOperationPtr = std::shared_ptr<AsyncOperation<Result>>;

}  // namespace quillmar::platform
