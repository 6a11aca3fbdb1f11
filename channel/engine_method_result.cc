#include "channel/engine_method_result.h"

#include "base/secret_memory.h"
#include "channel/diagnostics.h"

namespace quillmar {

ReplySlot::~ReplySlot() {
  if (reply_) ReportDiagnostic("Warning: Failed to respond to a message. This is a memory leak.");
}

void ReplySlot::SendBytes(const std::vector<uint8_t>* bytes) {
  if (!reply_) {
    ReportDiagnostic(
        "Error: Only one of Success, Error, or NotImplemented can be called, and it can be "
        "called exactly once. Ignoring duplicate result.");
    return;
  }
  BinaryReply reply = std::move(reply_);
  reply_ = nullptr;
  if (bytes == nullptr || bytes->empty()) {
    reply(nullptr, 0);
  } else {
    reply(bytes->data(), bytes->size());
  }
}

void EngineMethodResult::SuccessInternal(const EncodableValue* result) {
  auto bytes = codec_->EncodeSuccess(result);
  slot_->SendBytes(bytes.get());
  base::SecureWipe(bytes->data(), bytes->size());
}

void EngineMethodResult::ErrorInternal(const std::string& code, const std::string& message,
                                       const EncodableValue* details) {
  auto bytes = codec_->EncodeError(code, message, details);
  slot_->SendBytes(bytes.get());
  base::SecureWipe(bytes->data(), bytes->size());
}

void EngineMethodResult::NotImplementedInternal() { slot_->SendBytes(nullptr); }

}  // namespace quillmar
