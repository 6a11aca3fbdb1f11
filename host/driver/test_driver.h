// A driver for the host stand-in: registers a plug-in, delivers messages and
// method calls as the UI side would, and decodes replies and the calls the
// plug-in sends on its own. Used by tests and the command-line host.
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/protocol.h"
#include "base/secret_memory.h"
#include "channel/encodable_value.h"
#include "host/include/host_engine.h"

namespace quillmar::host {

// The plug-in's channel.
inline constexpr const char* kPluginChannel = base::kChannelName;

// A reply envelope as the UI side reads it.
struct MethodReply {
  enum class Kind { kSuccess, kError, kNotImplemented, kUndecodable, kNoReply };

  static MethodReply Success(EncodableValue value = EncodableValue());
  static MethodReply Error(std::string code, std::optional<std::string> message,
                           EncodableValue details = EncodableValue());
  static MethodReply NotImplemented();

  Kind kind = Kind::kNoReply;
  EncodableValue value;  // the success value
  std::string error_code;
  std::optional<std::string> error_message;  // absent when the reply holds null
  EncodableValue error_details;
  base::SecretBytes bytes;  // the reply as received; not compared

  friend bool operator==(const MethodReply& a, const MethodReply& b) {
    return a.kind == b.kind && a.value == b.value && a.error_code == b.error_code &&
           a.error_message == b.error_message && a.error_details == b.error_details;
  }
};

void PrintTo(const MethodReply& reply, std::ostream* out);

// Empty bytes are a method that is not implemented; an envelope that is
// neither success nor a well-formed error is undecodable.
MethodReply DecodeReply(const std::vector<uint8_t>& bytes);

std::vector<uint8_t> EncodeMethodCall(const std::string& method, const EncodableValue& arguments);

// A message the plug-in sent on its own, decoded as a method call.
struct OutgoingCall {
  std::string channel;
  bool decoded = false;  // false when the bytes hold no method call
  std::string method;
  EncodableValue arguments;
  bool with_reply = false;
  std::thread::id thread;
};

OutgoingCall DecodeOutgoing(const OutgoingMessage& message);

using RegisterFunction = void (*)(FlutterDesktopPluginRegistrarRef registrar);

// Owns an engine. Created and used on one thread (a test's or the
// command-line host's main thread), never the engine's platform thread:
// replies reach it from the engine's threads through futures.
class TestDriver {
 public:
  TestDriver();

  HostEngine& engine() { return *engine_; }
  bool on_platform_thread() const { return engine_->IsPlatformThread(); }

  // Calls `register_function` with the registrar on the platform thread, as
  // the embedding calls a plug-in's export.
  void RegisterPlugin(RegisterFunction register_function);

  // The reply to `message` on `channel`, or nothing when the reply is
  // dropped (engine shut down or stopped). A drop is a value, not a broken
  // promise: Microsoft's STL carries that as an exception_ptr, which Wine's
  // runtime hands the handler after releasing it.
  std::future<std::optional<std::vector<uint8_t>>> Deliver(std::string channel,
                                                           std::vector<uint8_t> message);
  // The reply bytes, or nothing when none came within `timeout`.
  std::optional<std::vector<uint8_t>> DeliverAndWait(
      std::vector<uint8_t> message, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Encodes the call with the standard method codec, delivers it on the
  // plug-in's channel and decodes the reply (kNoReply after `timeout`).
  MethodReply CallMethod(const std::string& method, const EncodableValue& arguments = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

  std::vector<OutgoingCall> OutgoingCalls() const;

 private:
  std::unique_ptr<HostEngine> engine_;
};

}  // namespace quillmar::host
