#include "platform/apartment.h"

#include <future>
#include <memory>

namespace quillmar::platform {

HResult EnterThroughQueue(WorkQueue& queue, std::function<void()> work) {
  if (queue.IsCurrent()) {
    work();
    return kSOk;
  }
  // The promise lives in the posted work only: work released unrun breaks
  // it, which answers the waiter.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  bool posted = queue.Post([work = std::move(work), done] {
    try {
      work();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  done.reset();
  if (!posted) return kRpcEDisconnected;
  try {
    finished.get();
  } catch (const std::future_error& error) {
    if (error.code() != std::future_errc::broken_promise) throw;
    return kRpcEDisconnected;
  }
  return kSOk;
}

}  // namespace quillmar::platform
