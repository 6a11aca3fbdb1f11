// Apartments on Linux: the host's platform thread is the single-threaded
// apartment and its task queue is the way into it; every other thread is in
// the multithreaded apartment, which has no context to return to.
#include <quillmar_host_threads.h>

#include <memory>

#include "platform/apartment.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

void RunPosted(void* data) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(data));
  (*work)();
}

class HostThreadContext : public ObjectContext {
 public:
  explicit HostThreadContext(QuillmarHostThreadRef thread) : thread_(thread) {}
  ~HostThreadContext() override { QuillmarHostThreadRelease(thread_); }

  bool IsCurrent() const override { return QuillmarHostThreadIsCurrent(thread_); }

  HResult Enter(std::function<void()> work) override {
    return EnterThroughQueue(*this, std::move(work));
  }

  bool Post(std::function<void()> work) override {
    auto* heap_work = new std::function<void()>(std::move(work));
    if (QuillmarHostThreadPost(thread_, RunPosted, heap_work)) return true;
    delete heap_work;
    return false;
  }

 private:
  QuillmarHostThreadRef thread_;  // one reference, released on destruction
};

class LinuxApartment : public Apartment {
 public:
  std::shared_ptr<ObjectContext> CaptureContext() override {
    QuillmarHostThreadRef thread = QuillmarHostCurrentPlatformThread();
    if (thread == nullptr) return nullptr;
    return std::make_shared<HostThreadContext>(thread);
  }

  // The platform thread's task queue is its message loop.
  std::shared_ptr<WorkQueue> CaptureMessageLoop() override { return CaptureContext(); }

  bool QueryApartmentType(ApartmentType* type) override {
    QuillmarHostThreadRef thread = QuillmarHostCurrentPlatformThread();
    *type = thread != nullptr ? ApartmentType::kMainSingleThreaded : ApartmentType::kMultiThreaded;
    if (thread != nullptr) QuillmarHostThreadRelease(thread);
    return true;
  }
};

}  // namespace

template <>
Apartment& DefaultService<Apartment>() {
  static LinuxApartment service;
  return service;
}

}  // namespace quillmar::platform
