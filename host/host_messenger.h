// The messenger of one engine: channel callbacks, deliveries with their
// response handles, the messenger lock with the availability flag, and the
// record of what the plug-in sends.
#pragma once

#include <flutter_windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/include/host_engine.h"

namespace quillmar::host {

// Created by HostEngine; reference counted (the engine holds one, the
// plug-in one per pending reply), so it outlives the engine while those
// remain. Threads:
// - Send, SendWithReply and SetCallback are accepted only on the platform
//   thread; callbacks_ is touched only there.
// - Lock/Unlock, IsAvailable and SendResponse come from any thread.
//   lock_ is the messenger lock (recursive: the plug-in sends its response
//   while it holds it); available_ changes only under it.
// - responses_mutex_ guards the table of response handles still due;
//   outgoing_mutex_ the listener and the record of outgoing messages.
class HostMessenger {
 public:
  // Takes a reference on `thread`; the caller holds the one reference.
  explicit HostMessenger(HostThread* thread);

  static HostMessenger* FromRef(FlutterDesktopMessengerRef ref) {
    return reinterpret_cast<HostMessenger*>(ref);
  }
  FlutterDesktopMessengerRef ref() { return reinterpret_cast<FlutterDesktopMessengerRef>(this); }

  void AddRef();
  void Release();

  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
  bool IsAvailable() const { return available_.load(std::memory_order_acquire); }
  // Availability false; responses still due are dropped.
  void Shutdown();

  // The C API's operations. `function` names the caller in reports.
  bool Send(const char* function, const char* channel, const uint8_t* message, size_t size,
            FlutterDesktopBinaryReply reply, void* user_data);
  void SetCallback(const char* channel, FlutterDesktopMessageCallback callback, void* user_data);
  void SendResponse(const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
                    size_t size);

  // Runs on the platform thread: hands `message` to the channel's callback
  // with a fresh response handle, or answers empty when there is none.
  void DeliverNow(const std::string& channel, const std::vector<uint8_t>& message,
                  ReplySink on_reply);

  void SetOutgoingListener(OutgoingListener listener);
  std::vector<OutgoingMessage> outgoing_messages() const;
  int refused_call_count() const { return refused_calls_.load(); }
  int bad_response_count() const { return bad_responses_.load(); }

 private:
  struct Callback {
    FlutterDesktopMessageCallback function;
    void* user_data;
  };

  ~HostMessenger();
  bool RefuseOffPlatformThread(const char* function, const char* channel);
  OutgoingAnswer MakeAnswer(FlutterDesktopBinaryReply reply, void* user_data);

  std::atomic<int> references_{1};
  HostThread* thread_;  // one reference
  std::recursive_mutex lock_;
  std::atomic<bool> available_{true};
  std::map<std::string, Callback> callbacks_;
  mutable std::mutex responses_mutex_;
  uint64_t next_response_id_ = 1;  // ids are never reused
  std::map<uint64_t, ReplySink> responses_;
  mutable std::mutex outgoing_mutex_;
  OutgoingListener listener_;
  std::vector<OutgoingMessage> outgoing_;
  std::atomic<int> refused_calls_{0};
  std::atomic<int> bad_responses_{0};
};

}  // namespace quillmar::host
