#include "host/host_messenger.h"

#include <memory>

#include "host/host_thread.h"
#include "host/report.h"

namespace quillmar::host {
namespace {

// Response handles carry an id that is never reused, so a handle answered
// twice is always recognised.
const FlutterDesktopMessageResponseHandle* HandleOf(uint64_t id) {
  return reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(static_cast<uintptr_t>(id));
}

uint64_t IdOf(const FlutterDesktopMessageResponseHandle* handle) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}

std::vector<uint8_t> CopyBytes(const uint8_t* data, size_t size) {
  if (data == nullptr) return {};
  return std::vector<uint8_t>(data, data + size);
}

// The way back to the plug-in for one message it sent with a reply. Made on
// the platform thread, answered from any thread; `used` makes it once.
class PendingAnswer {
 public:
  PendingAnswer(HostThread* thread, FlutterDesktopBinaryReply reply, void* user_data)
      : thread_(thread), reply_(reply), user_data_(user_data) {
    thread_->AddRef();
  }
  ~PendingAnswer() {
    if (!used_.load()) Answer({});
    thread_->Release();
  }

  void Answer(std::vector<uint8_t> bytes) {
    if (used_.exchange(true)) {
      ReportHostProblem("an outgoing message was answered twice; the second answer is ignored");
      return;
    }
    bool posted = thread_->Post([reply = reply_, user_data = user_data_, bytes = std::move(bytes)] {
      reply(bytes.empty() ? nullptr : bytes.data(), bytes.size(), user_data);
    });
    if (!posted) {
      ReportHostProblem(
          "the answer to an outgoing message is dropped: the platform thread has stopped");
    }
  }

 private:
  HostThread* thread_;  // one reference
  FlutterDesktopBinaryReply reply_;
  void* user_data_;
  std::atomic<bool> used_{false};
};

}  // namespace

HostMessenger::HostMessenger(HostThread* thread) : thread_(thread) { thread_->AddRef(); }

HostMessenger::~HostMessenger() { thread_->Release(); }

void HostMessenger::AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }

void HostMessenger::Release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void HostMessenger::Shutdown() {
  std::map<uint64_t, ReplySink> dropped;
  {
    std::lock_guard lock(lock_);
    std::lock_guard responses_lock(responses_mutex_);
    available_.store(false, std::memory_order_release);
    dropped.swap(responses_);
  }
}

bool HostMessenger::RefuseOffPlatformThread(const char* function, const char* channel) {
  if (thread_->IsCurrent()) return false;
  refused_calls_.fetch_add(1);
  ReportHostProblem(std::string(function) + " called off the platform thread (channel \"" +
                    (channel != nullptr ? channel : "") + "\"); refused");
  return true;
}

OutgoingAnswer HostMessenger::MakeAnswer(FlutterDesktopBinaryReply reply, void* user_data) {
  auto pending = std::make_shared<PendingAnswer>(thread_, reply, user_data);
  return [pending](std::vector<uint8_t> bytes) { pending->Answer(std::move(bytes)); };
}

bool HostMessenger::Send(const char* function, const char* channel, const uint8_t* message,
                         size_t size, FlutterDesktopBinaryReply reply, void* user_data) {
  if (RefuseOffPlatformThread(function, channel)) return false;
  if (!IsAvailable()) {
    ReportHostProblem(std::string(function) + " after the engine shut down (channel \"" + channel +
                      "\"); dropped");
    return false;
  }
  OutgoingMessage record{channel, CopyBytes(message, size), std::this_thread::get_id(),
                         reply != nullptr};
  OutgoingListener listener;
  {
    std::lock_guard lock(outgoing_mutex_);
    outgoing_.push_back(record);
    listener = listener_;
  }
  // An answer nobody keeps answers empty as it goes.
  OutgoingAnswer answer = reply != nullptr ? MakeAnswer(reply, user_data) : nullptr;
  if (listener) listener(record, std::move(answer));
  return true;
}

void HostMessenger::SetCallback(const char* channel, FlutterDesktopMessageCallback callback,
                                void* user_data) {
  if (RefuseOffPlatformThread("FlutterDesktopMessengerSetCallback", channel)) return;
  if (callback == nullptr) {
    callbacks_.erase(channel);
  } else {
    callbacks_[channel] = Callback{callback, user_data};
  }
}

void HostMessenger::SendResponse(const FlutterDesktopMessageResponseHandle* handle,
                                 const uint8_t* data, size_t size) {
  std::lock_guard lock(lock_);
  ReplySink sink;
  {
    std::lock_guard responses_lock(responses_mutex_);
    auto found = responses_.find(IdOf(handle));
    if (!IsAvailable() || found == responses_.end()) {
      bad_responses_.fetch_add(1);
      ReportHostProblem(IsAvailable() ? "FlutterDesktopMessengerSendResponse with an unknown or "
                                        "used response handle; ignored"
                                      : "FlutterDesktopMessengerSendResponse after the engine "
                                        "shut down; ignored");
      return;
    }
    sink = std::move(found->second);
    responses_.erase(found);
  }
  sink(CopyBytes(data, size));
}

void HostMessenger::DeliverNow(const std::string& channel, const std::vector<uint8_t>& message,
                               ReplySink on_reply) {
  auto found = callbacks_.find(channel);
  if (found == callbacks_.end()) {
    if (IsAvailable()) on_reply({});
    return;
  }
  Callback callback = found->second;
  uint64_t id = 0;
  {
    // Checked under the table's lock, so a shutdown either sees this entry
    // and drops it or happens before and this delivery does not take place.
    std::lock_guard responses_lock(responses_mutex_);
    if (!IsAvailable()) return;
    id = next_response_id_++;
    responses_.emplace(id, std::move(on_reply));
  }
  FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel.c_str(), message.data(),
                               message.size(), HandleOf(id)};
  callback.function(ref(), &record, callback.user_data);
}

void HostMessenger::SetOutgoingListener(OutgoingListener listener) {
  std::lock_guard lock(outgoing_mutex_);
  listener_ = std::move(listener);
}

std::vector<OutgoingMessage> HostMessenger::outgoing_messages() const {
  std::lock_guard lock(outgoing_mutex_);
  return outgoing_;
}

}  // namespace quillmar::host
