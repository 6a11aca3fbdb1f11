// Feeds arbitrary bytes to DecodeCall and DecodeResponse. Whatever decodes
// must encode and decode again to an equal value, and reading a message may
// cost only a few reads per byte, whatever its counts announce.
#include <cstdint>
#include <cstdlib>
#include <variant>
#include <vector>

#include "channel/standard_codec.h"

namespace {

class DiscardingResult : public quillmar::MethodResult {
 protected:
  void SuccessInternal(const quillmar::EncodableValue*) override {}
  void ErrorInternal(const std::string&, const std::string&,
                     const quillmar::EncodableValue*) override {}
  void NotImplementedInternal() override {}
};

// The writer leaves an empty typed list unpadded while the reader pads before
// every typed list, as the UI side does; such values need not read back.
bool HasEmptyTypedList(const quillmar::EncodableValue& value) {
  using quillmar::EncodableValue;
  if (auto* list = value.GetIf<quillmar::EncodableList>()) {
    for (const EncodableValue& element : *list) {
      if (HasEmptyTypedList(element)) return true;
    }
    return false;
  }
  if (auto* map = value.GetIf<quillmar::EncodableMap>()) {
    for (const auto& [key, entry] : *map) {
      if (HasEmptyTypedList(key) || HasEmptyTypedList(entry)) return true;
    }
    return false;
  }
  if (auto* v = value.GetIf<std::vector<int32_t>>()) return v->empty();
  if (auto* v = value.GetIf<std::vector<int64_t>>()) return v->empty();
  if (auto* v = value.GetIf<std::vector<double>>()) return v->empty();
  if (auto* v = value.GetIf<std::vector<float>>()) return v->empty();
  return false;
}

// Counts what a decoder asks of the message: every read, and those past its
// end, each of which is a report.
class CountingReader : public quillmar::ByteBufferStreamReader {
 public:
  using ByteBufferStreamReader::ByteBufferStreamReader;

  uint8_t GetByte() override {
    ++reads;
    if (Remaining() == 0) ++reads_past_end;
    return ByteBufferStreamReader::GetByte();
  }
  void GetBytes(uint8_t* buffer, size_t length) override {
    ++reads;
    if (length > Remaining()) ++reads_past_end;
    ByteBufferStreamReader::GetBytes(buffer, length);
  }
  void AlignRead(uint8_t alignment) override {
    ++reads;
    ByteBufferStreamReader::AlignRead(alignment);
  }

  size_t reads = 0;
  size_t reads_past_end = 0;
};

// Reads a method name and its arguments as DecodeCall does. Each value
// takes at most five reads (a type, a size and its extension, an alignment,
// the payload) and a message yields at most one value per byte, and one more.
void CheckLinearWork(const uint8_t* data, size_t size) {
  const auto& serializer = quillmar::StandardCodecSerializer::GetInstance();
  CountingReader reader(data, size);
  quillmar::ReadBudget budget(size);
  serializer.ReadValue(&reader, &budget);
  serializer.ReadValue(&reader, &budget);
  if (reader.reads > 5 * (size + 1)) std::abort();
  if (reader.reads_past_end > size + 1) std::abort();
}

void CheckRoundTrip(const quillmar::EncodableValue& value) {
  if (HasEmptyTypedList(value)) return;
  const auto& serializer = quillmar::StandardCodecSerializer::GetInstance();
  std::vector<uint8_t> bytes;
  quillmar::ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  quillmar::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  if (!(serializer.ReadValue(&reader) == value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckLinearWork(data, size);
  const auto& codec = quillmar::StandardMethodCodec::GetInstance();
  if (auto call = codec.DecodeCall(data, size)) {
    CheckRoundTrip(*call->arguments());
    // An empty typed list reads back with padding the writer left out, and
    // the bytes after it read differently; anything else must decode again.
    auto encoded = codec.EncodeCall(*call);
    if (!HasEmptyTypedList(*call->arguments()) &&
        !codec.DecodeCall(encoded->data(), encoded->size())) {
      std::abort();
    }
  }
  DiscardingResult result;
  try {
    codec.DecodeResponse(data, size, &result);
  } catch (const std::bad_variant_access&) {
    // An error envelope with a code or message of the wrong type.
  }
  return 0;
}
