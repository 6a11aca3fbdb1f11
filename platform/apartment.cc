#include "platform/apartment.h"

#include <future>
#include <memory>

namespace quillmar::platform {

HResult EnterThroughQueue(ObjectContext& context, std::function<void()> work) {
  if (context.IsCurrent()) {
    work();
    return kSOk;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  bool posted = context.Post([work = std::move(work), done] {
    try {
      work();
    } catch (...) {
      // The work reports its own failures; the waiter must not wait forever.
    }
    done->set_value();
  });
  if (!posted) return kRpcEDisconnected;
  finished.wait();
  return kSOk;
}

}  // namespace quillmar::platform
