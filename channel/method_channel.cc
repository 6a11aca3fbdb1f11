#include "channel/method_channel.h"

#include <new>
#include <variant>

#include "channel/diagnostics.h"
#include "channel/engine_method_result.h"

namespace quillmar {

void MethodChannel::SetMethodCallHandler(MethodCallHandler handler) const {
  if (!handler) {
    messenger_->SetChannelHandler(name_, nullptr);
    return;
  }
  const StandardMethodCodec* codec = codec_;
  std::string channel_name = name_;
  messenger_->SetChannelHandler(name_, [handler = std::move(handler), codec, channel_name](
                                           const uint8_t* message, size_t message_size,
                                           BinaryReply reply) {
    std::unique_ptr<EngineMethodResult> result;
    std::unique_ptr<MethodCall> call;
    try {
      result = std::make_unique<EngineMethodResult>(std::move(reply), codec);
      call = codec->DecodeCall(message, message_size);
    } catch (const std::bad_alloc&) {
      // Exhausted memory leaves the message without a call, answered as
      // one that does not decode.
      ReportDiagnostic("Out of memory decoding a message on channel ", channel_name);
      if (!result) {
        // The reply callable is moved only once the result's memory is had.
        if (reply) reply(nullptr, 0);
        return;
      }
    }
    if (!call) {
      ReportDiagnostic("Unable to construct method call from message on channel ", channel_name);
      result->NotImplemented();
      return;
    }
    handler(*call, std::move(result));
    // Handlers (and tasks, before their first wait) have read what they need.
    call->WipeArguments();
  });
}

void MethodChannel::InvokeMethod(const std::string& method,
                                 std::unique_ptr<EncodableValue> arguments,
                                 std::unique_ptr<MethodResult> result) const {
  MethodCall call(method, std::move(arguments));
  std::unique_ptr<std::vector<uint8_t>> message = codec_->EncodeCall(call);
  if (!result) {
    messenger_->SendOnChannel(name_, message->data(), message->size());
    return;
  }
  std::shared_ptr<MethodResult> shared_result = std::move(result);
  const StandardMethodCodec* codec = codec_;
  std::string channel_name = name_;
  BinaryReply on_reply = [shared_result, codec, channel_name](const uint8_t* reply,
                                                              size_t reply_size) {
    if (reply_size == 0) {
      shared_result->NotImplemented();
      return;
    }
    bool decoded = false;
    try {
      decoded = codec->DecodeResponse(reply, reply_size, shared_result.get());
    } catch (const std::bad_variant_access&) {
      // An error envelope whose code or message has the wrong type.
      decoded = false;
    }
    if (!decoded) {
      ReportDiagnostic("Unable to decode reply to method invocation on channel ", channel_name);
      shared_result->NotImplemented();
    }
  };
  messenger_->SendOnChannel(name_, message->data(), message->size(), std::move(on_reply));
}

}  // namespace quillmar
