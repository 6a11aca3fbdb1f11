// The standard message codec: the value serializer and the method codec.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channel/byte_streams.h"
#include "channel/encodable_value.h"
#include "channel/method_call.h"
#include "channel/method_result.h"

namespace quillmar {

class StandardCodecSerializer {
 public:
  // Lists and maps nested deeper than this read as null.
  static constexpr int kMaxNestingDepth = 512;

  virtual ~StandardCodecSerializer() = default;

  // The process-wide serializer, created on first use.
  static const StandardCodecSerializer& GetInstance();

  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;
  // Reads the payload of a value whose type byte has already been read.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Reads a type byte and its payload.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

 private:
  EncodableValue ReadValueAtDepth(ByteStreamReader* stream, int depth) const;
  EncodableValue ReadValueOfTypeAtDepth(uint8_t type, ByteStreamReader* stream, int depth) const;
};

class StandardMethodCodec {
 public:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}
  virtual ~StandardMethodCodec() = default;

  // The codec for `serializer` (the shared serializer when null), one per
  // serializer for the life of the process.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  // The call in `bytes`, or null (after a report) when it has none.
  virtual std::unique_ptr<MethodCall> DecodeCall(const uint8_t* bytes, size_t size) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall& call) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccess(const EncodableValue* result) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeError(const std::string& code,
                                                            const std::string& message,
                                                            const EncodableValue* details) const;
  // Delivers the reply envelope in `bytes` to `result`; false when the
  // envelope is not recognised. Raises BadVariantAccess for an error reply
  // whose code or message has the wrong type.
  virtual bool DecodeResponse(const uint8_t* bytes, size_t size, MethodResult* result) const;

 private:
  const StandardCodecSerializer* serializer_;  // not owned
};

}  // namespace quillmar
