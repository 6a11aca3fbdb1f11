#include "tests/runtime_standin_windows/over_standin.h"

#include <cstdio>
#include <thread>

#include "common/arguments.h"
#include "common/text.h"
#include "tests/support/system_text.h"

namespace quillmar::standin_test {

platform::CredentialManager& Legacy() {
  return platform::DefaultService<platform::CredentialManager>();
}

platform::PlatformString TargetOf(const std::string& key) { return Utf8ToWide("Quillmar:" + key); }

void PutLegacy(const std::string& key, const std::string& value) {
  platform::Buffer blob(reinterpret_cast<const uint8_t*>(value.c_str()), value.size() + 1);
  ASSERT_EQ(Legacy().Write(TargetOf(key), blob), platform::kErrorSuccess);
}

uint32_t LegacyStatus(const std::string& key) {
  platform::Buffer blob;
  return Legacy().Read(TargetOf(key), &blob);
}

long SettledLiveObjects(std::chrono::milliseconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  long live = standin::LiveObjects();
  while (live != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    live = standin::LiveObjects();
  }
  return live;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
  wchar_t buffer[256];
  DWORD length = GetEnvironmentVariableW(name, buffer, 256);
  if (length > 0 && length < 256) previous_ = std::wstring(buffer, length);
  SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

std::optional<uintptr_t> WindowOf(const std::string& record_line) {
  size_t start = record_line.find("window=");
  if (start == std::string::npos) return std::nullopt;
  start += 7;
  size_t end = record_line.find(' ', start);
  std::string digits = record_line.substr(start, end == std::string::npos ? end : end - start);
  try {
    return static_cast<uintptr_t>(std::stoull(digits, nullptr, 16));
  } catch (...) {
    return std::nullopt;
  }
}

std::string TextOf(platform::HResult code) { return testing::SystemText(code, ""); }

namespace {

void DescribeValue(const EncodableValue& value, std::string* out) {
  if (value.IsNull()) {
    *out += "null";
  } else if (const bool* flag = value.GetIf<bool>()) {
    *out += *flag ? "true" : "false";
  } else if (const int32_t* number = value.GetIf<int32_t>()) {
    *out += "int32 " + std::to_string(*number);
  } else if (const int64_t* wide_number = value.GetIf<int64_t>()) {
    *out += "int64 " + std::to_string(*wide_number);
  } else if (const double* fraction = value.GetIf<double>()) {
    char text[40];
    std::snprintf(text, sizeof text, "double %.17g", *fraction);
    *out += text;
  } else if (const std::string* text = value.GetIf<std::string>()) {
    *out += "\"" + *text + "\"";
  } else if (const EncodableMap* map = value.GetIf<EncodableMap>()) {
    *out += "{";
    bool first = true;
    for (const auto& [key, item] : *map) {
      if (!first) *out += ", ";
      first = false;
      DescribeValue(key, out);
      *out += ": ";
      DescribeValue(item, out);
    }
    *out += "}";
  } else {
    *out += "(a value of another type)";
  }
}

}  // namespace

std::string Describe(const MethodReply& reply) {
  std::string out;
  switch (reply.kind) {
    case MethodReply::Kind::kSuccess:
      out = "success ";
      DescribeValue(reply.value, &out);
      break;
    case MethodReply::Kind::kError:
      out = "error \"" + reply.error_code + "\" message " +
            (reply.error_message ? "\"" + *reply.error_message + "\"" : "null") + " details ";
      DescribeValue(reply.error_details, &out);
      break;
    case MethodReply::Kind::kNotImplemented:
      out = "not implemented";
      break;
    case MethodReply::Kind::kUndecodable:
      out = "undecodable";
      break;
    case MethodReply::Kind::kNoReply:
      out = "no reply";
      break;
  }
  return out;
}

void ExpectReply(const MethodReply& actual, const MethodReply& expected) {
  EXPECT_EQ(actual, expected) << "got  " << Describe(actual) << "\nwant " << Describe(expected);
}

EncodableValue ReplyMap(std::initializer_list<std::pair<std::string, EncodableValue>> entries) {
  return EncodableValue(MakeReplyMap(entries));
}

std::vector<std::string> RecordOnceItHolds(size_t count, std::chrono::milliseconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  std::vector<std::string> record = standin::Recorded();
  while (record.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    record = standin::Recorded();
  }
  return record;
}

}  // namespace quillmar::standin_test
