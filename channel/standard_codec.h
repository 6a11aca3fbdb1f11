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

// What reading one message may still spend. Every value read takes at least
// one byte of the message, except one read past its end, which yields a null
// and a report; a message may yield at most one value per byte it holds (and
// one more), so counts that announce more than the message holds cannot
// multiply the work, the memory or the reports.
class ReadBudget {
 public:
  explicit ReadBudget(size_t message_size) : values_left_(message_size + 1) {}

  // False once a read past the end found the budget spent; the message
  // then does not decode and every further read yields null at once.
  bool ok() const { return ok_; }

 private:
  friend class StandardCodecSerializer;

  size_t values_left_;
  // Values that the lists and maps being read still owe.
  size_t owed_values_ = 0;
  bool ok_ = true;
};

class StandardCodecSerializer {
 public:
  // A list or map nested deeper than this reads as null; its count and
  // elements are skipped whole, so what follows reads as if it were not there.
  static constexpr int kMaxNestingDepth = 512;

  virtual ~StandardCodecSerializer() = default;

  // The process-wide serializer, created on first use.
  static const StandardCodecSerializer& GetInstance();

  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;
  // Reads the payload of a value whose type byte has already been read.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Reads a type byte and its payload.
  EncodableValue ReadValue(ByteStreamReader* stream) const;
  // The same, spending from the budget of the message `stream` reads; the
  // value is null when the budget is or becomes spent.
  EncodableValue ReadValue(ByteStreamReader* stream, ReadBudget* budget) const;

 private:
  EncodableValue ReadValueAtDepth(ByteStreamReader* stream, int depth, ReadBudget* budget) const;
  EncodableValue ReadValueOfTypeAtDepth(uint8_t type, ByteStreamReader* stream, int depth,
                                        ReadBudget* budget) const;
  // Reads the value whose type byte has been read and drops it, without
  // recursion, with the same reads and reports as ReadValueOfTypeAtDepth.
  void SkipValueOfType(uint8_t type, ByteStreamReader* stream, ReadBudget* budget) const;
  // The type byte of the next value, charged to `budget`; false when the
  // budget is spent.
  bool ReadType(ByteStreamReader* stream, ReadBudget* budget, uint8_t* type) const;
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

  // The call in `bytes`, or null (after a report) when it has none or when
  // its counts announce more values than it holds.
  virtual std::unique_ptr<MethodCall> DecodeCall(const uint8_t* bytes, size_t size) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall& call) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccess(const EncodableValue* result) const;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeError(const std::string& code,
                                                            const std::string& message,
                                                            const EncodableValue* details) const;
  // Delivers the reply envelope in `bytes` to `result`; false when the
  // envelope is not recognised or announces more values than it holds. Raises BadVariantAccess for
  // an error reply whose code or message has the wrong type.
  virtual bool DecodeResponse(const uint8_t* bytes, size_t size, MethodResult* result) const;

 private:
  const StandardCodecSerializer* serializer_;  // not owned
};

}  // namespace quillmar
