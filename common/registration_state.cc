#include "common/registration_state.h"

#include <atomic>
#include <utility>

namespace quillmar {
namespace {

std::atomic<OwnCallSender> own_call_sender{nullptr};
std::atomic<void*> host_window{nullptr};

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

}  // namespace quillmar
