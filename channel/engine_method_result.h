// The result bound to one incoming message. It may be answered from any
// thread, but by one thread at a time; only the first answer is sent.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "channel/binary_messenger.h"
#include "channel/method_result.h"
#include "channel/standard_codec.h"

namespace quillmar {

// Holds the reply callable of one incoming message until its first use.
class ReplySlot {
 public:
  explicit ReplySlot(BinaryReply reply) : reply_(std::move(reply)) {}
  ~ReplySlot();

  // Sends `bytes` (null for an empty reply) if the slot still holds its
  // callable; otherwise reports the duplicate and sends nothing.
  void SendBytes(const std::vector<uint8_t>* bytes);

 private:
  BinaryReply reply_;
};

class EngineMethodResult : public MethodResult {
 public:
  EngineMethodResult(BinaryReply reply, const StandardMethodCodec* codec)
      : slot_(std::make_unique<ReplySlot>(std::move(reply))), codec_(codec) {}

 protected:
  void SuccessInternal(const EncodableValue* result) override;
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override;
  void NotImplementedInternal() override;

 private:
  std::unique_ptr<ReplySlot> slot_;
  const StandardMethodCodec* codec_;  // not owned
};

}  // namespace quillmar
