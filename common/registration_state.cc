#include "common/registration_state.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace quillmar {
namespace {

std::atomic<OwnCallSender> own_call_sender{nullptr};
std::atomic<void*> host_window{nullptr};

struct HostThreadSlot {
  std::mutex mutex;
  std::shared_ptr<platform::WorkQueue> thread;
};

HostThreadSlot& HostThreadState() {
  static auto* slot = new HostThreadSlot();
  return *slot;
}

}  // namespace

const platform::PlatformString kResourceName(u"Quillmar");

void SetOwnCallSender(OwnCallSender sender) { own_call_sender.store(sender); }

bool SendOwnCall(const std::string& method, EncodableValue arguments) {
  OwnCallSender sender = own_call_sender.load();
  return sender != nullptr && sender(method, std::move(arguments));
}

void SetHostWindow(void* window) { host_window.store(window); }

void ClearHostWindow(void* window) { host_window.compare_exchange_strong(window, nullptr); }

void* HostWindow() { return host_window.load(); }

void SetHostThread(std::shared_ptr<platform::WorkQueue> thread) {
  std::shared_ptr<platform::WorkQueue> earlier;
  HostThreadSlot& slot = HostThreadState();
  std::lock_guard lock(slot.mutex);
  earlier = std::exchange(slot.thread, std::move(thread));
}

void ClearHostThread(const platform::WorkQueue* thread) {
  std::shared_ptr<platform::WorkQueue> cleared;
  HostThreadSlot& slot = HostThreadState();
  std::lock_guard lock(slot.mutex);
  if (slot.thread.get() == thread) cleared = std::move(slot.thread);
}

std::shared_ptr<platform::WorkQueue> HostThread() {
  HostThreadSlot& slot = HostThreadState();
  std::lock_guard lock(slot.mutex);
  return slot.thread;
}

}  // namespace quillmar
