#include "tests/storage/store_fixture.h"

#include <sstream>

#include "common/arguments.h"
#include "common/registration_state.h"
#include "common/text.h"

namespace quillmar::storage_test {
namespace {

void Render(const EncodableValue& value, std::ostringstream* out) {
  if (value.IsNull()) {
    *out << "null";
  } else if (const auto* flag = value.GetIf<bool>()) {
    *out << (*flag ? "true" : "false");
  } else if (const auto* text = value.GetIf<std::string>()) {
    *out << '"' << *text << '"';
  } else if (const auto* number = value.GetIf<int32_t>()) {
    *out << *number;
  } else if (const auto* map = value.GetIf<EncodableMap>()) {
    *out << '{';
    const char* separator = "";
    for (const auto& [key, entry] : *map) {
      *out << separator;
      Render(key, out);
      *out << ": ";
      Render(entry, out);
      separator = ", ";
    }
    *out << '}';
  } else {
    *out << "<other>";
  }
}

platform::PlatformString TargetName(const std::string& key) {
  return Utf8ToWide("Quillmar:" + key);
}

}  // namespace

std::string Show(const EncodableValue& value) {
  std::ostringstream out;
  Render(value, &out);
  return out.str();
}

EncodableValue Text(std::optional<std::string> text) {
  return text ? EncodableValue(*text) : EncodableValue();
}

EncodableValue Args(std::optional<std::string> key, std::optional<std::string> value) {
  EncodableMap map;
  if (key) map.emplace(EncodableValue("itemKey"), EncodableValue(*key));
  if (value) map.emplace(EncodableValue("itemValue"), EncodableValue(*value));
  return EncodableValue(std::move(map));
}

EncodableValue GetReply(std::optional<std::string> error, bool success,
                        std::optional<std::string> item_value) {
  return EncodableValue(MakeReplyMap(
      {{"error", Text(error)}, {"success", success}, {"itemValue", Text(item_value)}}));
}

EncodableValue UpsertReply(std::optional<std::string> error) {
  return EncodableValue(
      MakeReplyMap({{"error", Text(error)}, {"status", std::string(error ? "error" : "ok")}}));
}

EncodableValue DeleteReply(std::optional<std::string> error) {
  return EncodableValue(MakeReplyMap({{"error", Text(error)}, {"success", !error}}));
}

void ExpectSuccess(const RecordedAnswer& answer, const EncodableValue& expected) {
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess) << answer.code << ": " << answer.message;
  EXPECT_TRUE(answer.value == expected)
      << "answered " << Show(answer.value) << "\nexpected " << Show(expected);
}

RecordedAnswer StoreTest::Call(MethodHandler handler, const EncodableValue& arguments) {
  auto [log, result] = testing::MakeRecordingResult();
  handler(&arguments, std::move(result));
  EXPECT_EQ(log->answers().size(), 1u);
  EXPECT_TRUE(log->released());
  if (log->answers().empty()) return {RecordedAnswer::Kind::kNotImplemented, {}, "", "none", {}};
  return log->answers().front();
}

void StoreTest::PutVault(const std::string& key, const std::string& value) {
  vault_.Put(kResourceName, Utf8ToWide(key), Utf8ToWide(value));
}

std::optional<std::string> StoreTest::VaultValue(const std::string& key) const {
  auto password = vault_.Find(kResourceName, Utf8ToWide(key));
  if (!password) return std::nullopt;
  return WideToUtf8(*password);
}

void StoreTest::PutLegacy(const std::string& key, const std::string& value) {
  platform::Buffer blob(reinterpret_cast<const uint8_t*>(value.c_str()), value.size() + 1);
  credentials_.Put(TargetName(key), blob);
}

std::optional<std::string> StoreTest::LegacyBlob(const std::string& key) const {
  auto blob = credentials_.Find(TargetName(key));
  if (!blob) return std::nullopt;
  return std::string(blob->data(), blob->data() + blob->size());
}

}  // namespace quillmar::storage_test
