#include "channel/standard_codec.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "channel/diagnostics.h"

namespace quillmar {
namespace {

enum Type : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,
  kFloat64 = 6,
  kString = 7,
  kUint8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

void WriteSize(size_t size, ByteStreamWriter* stream) {
  if (size < 254) {
    stream->PutByte(static_cast<uint8_t>(size));
  } else if (size <= 0xFFFF) {
    stream->PutByte(254);
    uint16_t value = static_cast<uint16_t>(size);
    stream->PutBytes(reinterpret_cast<const uint8_t*>(&value), 2);
  } else {
    stream->PutByte(255);
    uint32_t value = static_cast<uint32_t>(size);
    stream->PutBytes(reinterpret_cast<const uint8_t*>(&value), 4);
  }
}

size_t ReadSize(ByteStreamReader* stream) {
  uint8_t byte = stream->GetByte();
  if (byte < 254) return byte;
  if (byte == 254) {
    uint16_t value = 0;
    stream->GetBytes(reinterpret_cast<uint8_t*>(&value), 2);
    return value;
  }
  uint32_t value = 0;
  stream->GetBytes(reinterpret_cast<uint8_t*>(&value), 4);
  return value;
}

template <class T>
void WriteNumber(T value, ByteStreamWriter* stream) {
  stream->PutBytes(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

template <class T>
T ReadNumber(ByteStreamReader* stream) {
  T value{};
  stream->GetBytes(reinterpret_cast<uint8_t*>(&value), sizeof(T));
  return value;
}

template <class T>
void WriteTypedList(const std::vector<T>& list, ByteStreamWriter* stream) {
  WriteSize(list.size(), stream);
  if (list.empty()) return;
  stream->AlignWrite(static_cast<uint8_t>(sizeof(T)));
  stream->PutBytes(reinterpret_cast<const uint8_t*>(list.data()), list.size() * sizeof(T));
}

// Reads a typed list. A count larger than what remains of the message is a
// read failure: it is reported and the list reads as empty, so that a short
// message can never make the decoder allocate what it announces.
template <class T>
std::vector<T> ReadTypedList(ByteStreamReader* stream) {
  size_t count = ReadSize(stream);
  if constexpr (sizeof(T) > 1) stream->AlignRead(static_cast<uint8_t>(sizeof(T)));
  if (count > stream->Remaining() / sizeof(T)) {
    ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
    return {};
  }
  std::vector<T> list(count);
  if (count != 0) stream->GetBytes(reinterpret_cast<uint8_t*>(list.data()), count * sizeof(T));
  return list;
}

std::string ReadString(ByteStreamReader* stream) {
  size_t size = ReadSize(stream);
  if (size > stream->Remaining()) {
    ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
    return {};
  }
  std::string text(size, '\0');
  if (size != 0) stream->GetBytes(reinterpret_cast<uint8_t*>(text.data()), size);
  return text;
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  std::visit(
      [this, stream](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          stream->PutByte(kNull);
        } else if constexpr (std::is_same_v<T, bool>) {
          stream->PutByte(v ? kTrue : kFalse);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          stream->PutByte(kInt32);
          WriteNumber(v, stream);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          stream->PutByte(kInt64);
          WriteNumber(v, stream);
        } else if constexpr (std::is_same_v<T, double>) {
          stream->PutByte(kFloat64);
          stream->AlignWrite(8);
          WriteNumber(v, stream);
        } else if constexpr (std::is_same_v<T, std::string>) {
          stream->PutByte(kString);
          WriteSize(v.size(), stream);
          stream->PutBytes(reinterpret_cast<const uint8_t*>(v.data()), v.size());
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          stream->PutByte(kUint8List);
          WriteSize(v.size(), stream);
          stream->PutBytes(v.data(), v.size());
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>>) {
          stream->PutByte(kInt32List);
          WriteTypedList(v, stream);
        } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
          stream->PutByte(kInt64List);
          WriteTypedList(v, stream);
        } else if constexpr (std::is_same_v<T, std::vector<double>>) {
          stream->PutByte(kFloat64List);
          WriteTypedList(v, stream);
        } else if constexpr (std::is_same_v<T, std::vector<float>>) {
          stream->PutByte(kFloat32List);
          WriteTypedList(v, stream);
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          stream->PutByte(kList);
          WriteSize(v.size(), stream);
          for (const EncodableValue& element : v) WriteValue(element, stream);
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          stream->PutByte(kMap);
          WriteSize(v.size(), stream);
          for (const auto& [key, entry] : v) {
            WriteValue(key, stream);
            WriteValue(entry, stream);
          }
        } else {
          static_assert(std::is_same_v<T, CustomEncodableValue>);
          stream->PutByte(kNull);
          ReportDiagnostic(
              "Unhandled custom type in StandardCodecSerializer::WriteValue. "
              "Custom types require codec extensions.");
        }
      },
      value.variant());
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  return ReadValueAtDepth(stream, 0);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  return ReadValueOfTypeAtDepth(type, stream, 0);
}

EncodableValue StandardCodecSerializer::ReadValueAtDepth(ByteStreamReader* stream,
                                                         int depth) const {
  return ReadValueOfTypeAtDepth(stream->GetByte(), stream, depth);
}

EncodableValue StandardCodecSerializer::ReadValueOfTypeAtDepth(uint8_t type,
                                                               ByteStreamReader* stream,
                                                               int depth) const {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadNumber<int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadNumber<int64_t>(stream));
    case kFloat64:
      stream->AlignRead(8);
      return EncodableValue(ReadNumber<double>(stream));
    case kLargeInt:
    case kString:
      return EncodableValue(ReadString(stream));
    case kUint8List:
      return EncodableValue(ReadTypedList<uint8_t>(stream));
    case kInt32List:
      return EncodableValue(ReadTypedList<int32_t>(stream));
    case kInt64List:
      return EncodableValue(ReadTypedList<int64_t>(stream));
    case kFloat64List:
      return EncodableValue(ReadTypedList<double>(stream));
    case kFloat32List:
      return EncodableValue(ReadTypedList<float>(stream));
    case kList:
    case kMap: {
      if (depth >= kMaxNestingDepth) {
        ReportDiagnostic("Nesting too deep in StandardCodecSerializer::ReadValueOfType");
        return EncodableValue();
      }
      size_t count = ReadSize(stream);
      // Every element takes at least one byte (a map entry two): a larger
      // count cannot be in the message.
      size_t bytes_per_element = type == kList ? 1 : 2;
      if (count > stream->Remaining() / bytes_per_element) {
        ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
        return type == kList ? EncodableValue(EncodableList()) : EncodableValue(EncodableMap());
      }
      if (type == kList) {
        EncodableList list;
        list.reserve(count);
        for (size_t i = 0; i < count; ++i) list.push_back(ReadValueAtDepth(stream, depth + 1));
        return EncodableValue(std::move(list));
      }
      EncodableMap map;
      for (size_t i = 0; i < count; ++i) {
        EncodableValue key = ReadValueAtDepth(stream, depth + 1);
        EncodableValue value = ReadValueAtDepth(stream, depth + 1);
        // Keys usually arrive sorted; the hint makes each insertion constant
        // time, and an existing key keeps its first entry.
        map.emplace_hint(map.end(), std::move(key), std::move(value));
      }
      return EncodableValue(std::move(map));
    }
    default:
      ReportDiagnostic("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                       std::to_string(type));
      return EncodableValue();
  }
}

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  static auto* codecs =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>();
  static std::mutex mutex;
  if (serializer == nullptr) serializer = &StandardCodecSerializer::GetInstance();
  std::lock_guard lock(mutex);
  auto& codec = (*codecs)[serializer];
  if (!codec) codec = std::make_unique<StandardMethodCodec>(serializer);
  return *codec;
}

std::unique_ptr<MethodCall> StandardMethodCodec::DecodeCall(const uint8_t* bytes,
                                                            size_t size) const {
  ByteBufferStreamReader stream(bytes, size);
  EncodableValue name = serializer_->ReadValue(&stream);
  auto* method_name = name.GetIf<std::string>();
  if (method_name == nullptr) {
    ReportDiagnostic("Invalid method call; method name is not a string.");
    return nullptr;
  }
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall>(std::move(*method_name), std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeCall(
    const MethodCall& call) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  serializer_->WriteValue(EncodableValue(call.method_name()), &stream);
  serializer_->WriteValue(call.arguments() ? *call.arguments() : EncodableValue(), &stream);
  return bytes;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccess(
    const EncodableValue* result) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  stream.PutByte(0);
  serializer_->WriteValue(result ? *result : EncodableValue(), &stream);
  return bytes;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeError(
    const std::string& code, const std::string& message, const EncodableValue* details) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  stream.PutByte(1);
  serializer_->WriteValue(EncodableValue(code), &stream);
  serializer_->WriteValue(message.empty() ? EncodableValue() : EncodableValue(message), &stream);
  serializer_->WriteValue(details ? *details : EncodableValue(), &stream);
  return bytes;
}

bool StandardMethodCodec::DecodeResponse(const uint8_t* bytes, size_t size,
                                         MethodResult* result) const {
  ByteBufferStreamReader stream(bytes, size);
  uint8_t envelope = stream.GetByte();
  if (envelope == 0) {
    EncodableValue value = serializer_->ReadValue(&stream);
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (envelope == 1) {
    EncodableValue code = serializer_->ReadValue(&stream);
    EncodableValue message = serializer_->ReadValue(&stream);
    EncodableValue details = serializer_->ReadValue(&stream);
    const std::string& code_text = GetAlternative<std::string>(code);
    std::string message_text =
        message.IsNull() ? std::string() : GetAlternative<std::string>(message);
    result->Error(code_text, message_text, details);
    return true;
  }
  return false;
}

}  // namespace quillmar
