#include "host/driver/test_driver.h"

#include <ostream>

#include "channel/byte_streams.h"
#include "channel/method_call.h"
#include "channel/standard_codec.h"

namespace quillmar::host {
namespace {

const char* KindName(MethodReply::Kind kind) {
  switch (kind) {
    case MethodReply::Kind::kSuccess:
      return "success";
    case MethodReply::Kind::kError:
      return "error";
    case MethodReply::Kind::kNotImplemented:
      return "not implemented";
    case MethodReply::Kind::kUndecodable:
      return "undecodable";
    case MethodReply::Kind::kNoReply:
      return "no reply";
  }
  return "?";
}

MethodReply Undecodable(const std::vector<uint8_t>& bytes) {
  MethodReply reply;
  reply.kind = MethodReply::Kind::kUndecodable;
  reply.bytes.assign(bytes.begin(), bytes.end());
  return reply;
}

}  // namespace

MethodReply MethodReply::Success(EncodableValue value) {
  MethodReply reply;
  reply.kind = Kind::kSuccess;
  reply.value = std::move(value);
  return reply;
}

MethodReply MethodReply::Error(std::string code, std::optional<std::string> message,
                               EncodableValue details) {
  MethodReply reply;
  reply.kind = Kind::kError;
  reply.error_code = std::move(code);
  reply.error_message = std::move(message);
  reply.error_details = std::move(details);
  return reply;
}

MethodReply MethodReply::NotImplemented() {
  MethodReply reply;
  reply.kind = Kind::kNotImplemented;
  return reply;
}

void PrintTo(const MethodReply& reply, std::ostream* out) {
  *out << KindName(reply.kind);
  if (reply.kind == MethodReply::Kind::kSuccess)
    *out << " (value type " << reply.value.index() << ")";
  if (reply.kind == MethodReply::Kind::kError) {
    *out << " " << reply.error_code << ": " << reply.error_message.value_or("<null>")
         << " (details type " << reply.error_details.index() << ")";
  }
  *out << ", " << reply.bytes.size() << " bytes";
}

MethodReply DecodeReply(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return MethodReply::NotImplemented();
  const StandardCodecSerializer& serializer = StandardCodecSerializer::GetInstance();
  ByteBufferStreamReader stream(bytes.data(), bytes.size());
  MethodReply reply;
  uint8_t envelope = stream.GetByte();
  if (envelope == 0) {
    reply = MethodReply::Success(serializer.ReadValue(&stream));
  } else if (envelope == 1) {
    EncodableValue code = serializer.ReadValue(&stream);
    EncodableValue message = serializer.ReadValue(&stream);
    EncodableValue details = serializer.ReadValue(&stream);
    const auto* code_text = code.GetIf<std::string>();
    const auto* message_text = message.GetIf<std::string>();
    if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) {
      return Undecodable(bytes);
    }
    reply = MethodReply::Error(
        *code_text, message_text ? std::optional<std::string>(*message_text) : std::nullopt,
        std::move(details));
  } else {
    return Undecodable(bytes);
  }
  reply.bytes.assign(bytes.begin(), bytes.end());
  return reply;
}

std::vector<uint8_t> EncodeMethodCall(const std::string& method, const EncodableValue& arguments) {
  MethodCall call(method, std::make_unique<EncodableValue>(arguments));
  return std::move(*StandardMethodCodec::GetInstance().EncodeCall(call));
}

OutgoingCall DecodeOutgoing(const OutgoingMessage& message) {
  OutgoingCall call;
  call.channel = message.channel;
  call.with_reply = message.with_reply;
  call.thread = message.thread;
  std::unique_ptr<MethodCall> decoded =
      StandardMethodCodec::GetInstance().DecodeCall(message.bytes.data(), message.bytes.size());
  if (decoded != nullptr) {
    call.decoded = true;
    call.method = decoded->method_name();
    if (decoded->arguments() != nullptr) call.arguments = *decoded->arguments();
  }
  return call;
}

TestDriver::TestDriver() : engine_(std::make_unique<HostEngine>()) {}

void TestDriver::RegisterPlugin(RegisterFunction register_function) {
  HostEngine& engine = *engine_;
  engine.RunSync([&engine, register_function] { register_function(engine.registrar()); });
}

std::future<std::optional<std::vector<uint8_t>>> TestDriver::Deliver(std::string channel,
                                                                     std::vector<uint8_t> message) {
  // Answers nothing when the engine releases the reply callable unanswered.
  class Reply {
   public:
    ~Reply() {
      if (!answered_) promise_.set_value(std::nullopt);
    }
    std::future<std::optional<std::vector<uint8_t>>> Future() { return promise_.get_future(); }
    void Answer(std::vector<uint8_t> bytes) {
      answered_ = true;
      promise_.set_value(std::move(bytes));
    }

   private:
    std::promise<std::optional<std::vector<uint8_t>>> promise_;
    bool answered_ = false;
  };
  auto reply = std::make_shared<Reply>();
  std::future<std::optional<std::vector<uint8_t>>> answer = reply->Future();
  engine_->Deliver(std::move(channel), std::move(message),
                   [reply](std::vector<uint8_t> bytes) { reply->Answer(std::move(bytes)); });
  return answer;
}

std::optional<std::vector<uint8_t>> TestDriver::DeliverAndWait(std::vector<uint8_t> message,
                                                               std::chrono::milliseconds timeout) {
  std::future<std::optional<std::vector<uint8_t>>> reply =
      Deliver(kPluginChannel, std::move(message));
  if (reply.wait_for(timeout) != std::future_status::ready) return std::nullopt;
  return reply.get();
}

MethodReply TestDriver::CallMethod(const std::string& method, const EncodableValue& arguments,
                                   std::chrono::milliseconds timeout) {
  std::optional<std::vector<uint8_t>> bytes =
      DeliverAndWait(EncodeMethodCall(method, arguments), timeout);
  if (!bytes) return MethodReply();
  MethodReply reply = DecodeReply(*bytes);
  // Replies carry secrets; the decoded reply keeps its own wiped copy.
  base::SecureWipe(bytes->data(), bytes->size());
  return reply;
}

std::vector<OutgoingCall> TestDriver::OutgoingCalls() const {
  std::vector<OutgoingCall> calls;
  for (const OutgoingMessage& message : engine_->outgoing_messages()) {
    calls.push_back(DecodeOutgoing(message));
  }
  return calls;
}

}  // namespace quillmar::host
