#include "platform/apartment.h"

#include <exception>
#include <future>
#include <memory>
#include <utility>

#include "base/carried_failure.h"

namespace quillmar::platform {

HResult EnterThroughQueue(WorkQueue& queue, std::function<void()> work) {
  if (queue.IsCurrent()) {
    work();
    return kSOk;
  }
  // The promise lives in the posted work only: work released unrun breaks
  // it, which answers the waiter.
  auto done = std::make_shared<std::promise<std::exception_ptr>>();
  std::future<std::exception_ptr> finished = done->get_future();
  bool posted =
      queue.Post([work = std::move(work), done] { base::RunCarryingFailure(work, *done); });
  done.reset();
  if (!posted) return kRpcEDisconnected;
  std::exception_ptr failure;
  try {
    failure = finished.get();
  } catch (const std::future_error& error) {
    if (error.code() != std::future_errc::broken_promise) throw;
    return kRpcEDisconnected;
  }
  if (failure) base::RethrowCarried(std::move(failure));
  return kSOk;
}

}  // namespace quillmar::platform
