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

// The payload of a value that is neither a list nor a map.
EncodableValue ReadLeafOfType(uint8_t type, ByteStreamReader* stream) {
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
    default:
      ReportDiagnostic("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                       std::to_string(type));
      return EncodableValue();
  }
}

// The element count of a list or the entry count of a map. Every element
// takes at least one byte (a map entry two): a larger count cannot be in the
// message, is reported as a read failure and reads as empty.
size_t ReadContainerSize(uint8_t type, ByteStreamReader* stream) {
  size_t count = ReadSize(stream);
  size_t bytes_per_element = type == kList ? 1 : 2;
  if (count > stream->Remaining() / bytes_per_element) {
    ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
    return 0;
  }
  return count;
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
  ReadBudget budget(stream->Remaining());
  return ReadValueAtDepth(stream, 0, &budget);
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream,
                                                  ReadBudget* budget) const {
  return ReadValueAtDepth(stream, 0, budget);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  ReadBudget budget(stream->Remaining());
  return ReadValueOfTypeAtDepth(type, stream, 0, &budget);
}

bool StandardCodecSerializer::ReadType(ByteStreamReader* stream, ReadBudget* budget,
                                       uint8_t* type) const {
  if (!budget->ok_) return false;
  // Past the end every value still owed will be read as well; when the
  // budget cannot pay for them all, the message stops here rather than after
  // one report each.
  if (stream->Remaining() == 0 && budget->owed_values_ >= budget->values_left_) {
    ReportDiagnostic("Message announces more values than it holds in StandardCodecSerializer");
    budget->ok_ = false;
    return false;
  }
  --budget->values_left_;
  *type = stream->GetByte();
  return true;
}

EncodableValue StandardCodecSerializer::ReadValueAtDepth(ByteStreamReader* stream, int depth,
                                                         ReadBudget* budget) const {
  uint8_t type = 0;
  if (!ReadType(stream, budget, &type)) return EncodableValue();
  return ReadValueOfTypeAtDepth(type, stream, depth, budget);
}

EncodableValue StandardCodecSerializer::ReadValueOfTypeAtDepth(uint8_t type,
                                                               ByteStreamReader* stream, int depth,
                                                               ReadBudget* budget) const {
  if (type != kList && type != kMap) return ReadLeafOfType(type, stream);
  if (depth >= kMaxNestingDepth) {
    ReportDiagnostic("Nesting too deep in StandardCodecSerializer::ReadValueOfType");
    SkipValueOfType(type, stream, budget);
    return EncodableValue();
  }
  size_t count = ReadContainerSize(type, stream);
  if (type == kList) {
    EncodableList list;
    // Reserve only what the message can still hold beside what the
    // enclosing lists and maps owe, so nested counts cannot multiply it.
    size_t remaining = stream->Remaining();
    if (budget->owed_values_ <= remaining && count <= remaining - budget->owed_values_) {
      list.reserve(count);
    }
    budget->owed_values_ += count;
    for (size_t i = 0; i < count && budget->ok_; ++i) {
      --budget->owed_values_;
      list.push_back(ReadValueAtDepth(stream, depth + 1, budget));
    }
    return EncodableValue(std::move(list));
  }
  EncodableMap map;
  budget->owed_values_ += 2 * count;
  for (size_t i = 0; i < count && budget->ok_; ++i) {
    budget->owed_values_ -= 2;
    EncodableValue key = ReadValueAtDepth(stream, depth + 1, budget);
    EncodableValue value = ReadValueAtDepth(stream, depth + 1, budget);
    // Keys usually arrive sorted; the hint makes each insertion constant
    // time, and an existing key keeps its first entry.
    map.emplace_hint(map.end(), std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

void StandardCodecSerializer::SkipValueOfType(uint8_t type, ByteStreamReader* stream,
                                              ReadBudget* budget) const {
  // Values still to skip in each list or map being skipped, innermost last;
  // each entry took at least one byte, so the stack stays within the message.
  std::vector<size_t> owed;
  for (;;) {
    if (type == kList || type == kMap) {
      size_t values = ReadContainerSize(type, stream) * (type == kList ? 1 : 2);
      if (values != 0) {
        owed.push_back(values);
        budget->owed_values_ += values;
      }
    } else {
      ReadLeafOfType(type, stream);
    }
    while (!owed.empty() && owed.back() == 0) owed.pop_back();
    if (owed.empty()) return;
    --owed.back();
    --budget->owed_values_;
    if (!ReadType(stream, budget, &type)) return;
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
  ReadBudget budget(size);
  EncodableValue name = serializer_->ReadValue(&stream, &budget);
  auto* method_name = name.GetIf<std::string>();
  if (method_name == nullptr) {
    ReportDiagnostic("Invalid method call; method name is not a string.");
    return nullptr;
  }
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream, &budget));
  if (!budget.ok()) return nullptr;
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
  ReadBudget budget(size);
  uint8_t envelope = stream.GetByte();
  if (envelope == 0) {
    EncodableValue value = serializer_->ReadValue(&stream, &budget);
    if (!budget.ok()) return false;
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (envelope == 1) {
    EncodableValue code = serializer_->ReadValue(&stream, &budget);
    EncodableValue message = serializer_->ReadValue(&stream, &budget);
    EncodableValue details = serializer_->ReadValue(&stream, &budget);
    if (!budget.ok()) return false;
    const std::string& code_text = GetAlternative<std::string>(code);
    std::string message_text =
        message.IsNull() ? std::string() : GetAlternative<std::string>(message);
    result->Error(code_text, message_text, details);
    return true;
  }
  return false;
}

}  // namespace quillmar
