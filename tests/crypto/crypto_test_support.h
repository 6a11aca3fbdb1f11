// Calling the cryptography handlers in tests, and a Cryptography whose
// random bytes are scripted.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "channel/method_call.h"
#include "common/arguments.h"
#include "crypto/handlers.h"
#include "platform/crypto.h"
#include "platform/service_registry.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/support/recording_result.h"

namespace quillmar::testing {

using Handler = void (*)(const EncodableValue*, std::unique_ptr<MethodResult>);

// The one answer of `handler` to `arguments`.
inline RecordedAnswer Call(Handler handler, const EncodableValue& arguments) {
  auto [log, result] = MakeRecordingResult();
  handler(&arguments, std::move(result));
  std::vector<RecordedAnswer> answers = log->answers();
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_TRUE(log->released());
  return answers.empty() ? RecordedAnswer{} : answers.front();
}

// The answer of the dispatcher, for failures that escape a handler.
inline RecordedAnswer Dispatch(const std::string& method, const EncodableValue& arguments) {
  QuillmarCoreWindows plugin;
  auto [log, result] = MakeRecordingResult();
  plugin.DispatchMethodCall(MethodCall(method, std::make_unique<EncodableValue>(arguments)),
                            std::move(result));
  std::vector<RecordedAnswer> answers = log->answers();
  EXPECT_EQ(answers.size(), 1u);
  return answers.empty() ? RecordedAnswer{} : answers.front();
}

// A success answer with exactly `reply`.
inline ::testing::AssertionResult AnsweredWith(const RecordedAnswer& answer,
                                               const EncodableMap& reply) {
  if (answer.kind != RecordedAnswer::Kind::kSuccess) {
    return ::testing::AssertionFailure()
           << "not a success: " << answer.code << " " << answer.message;
  }
  if (!(answer.value == EncodableValue(reply))) {
    const auto* map = answer.value.GetIf<EncodableMap>();
    auto failure = ::testing::AssertionFailure() << "reply differs; it holds";
    if (map) {
      for (const auto& [key, value] : *map) {
        const auto* text = value.GetIf<std::string>();
        const auto* flag = value.GetIf<bool>();
        failure << " " << *key.GetIf<std::string>() << "="
                << (text   ? *text
                    : flag ? (*flag ? "true" : "false")
                           : "?");
      }
    }
    return failure;
  }
  return ::testing::AssertionSuccess();
}

// The dispatcher's answer to a failure that escaped with `message`.
inline ::testing::AssertionResult EscapedWith(const RecordedAnswer& answer,
                                              const std::string& message) {
  if (answer.kind == RecordedAnswer::Kind::kError &&
      answer.code == "QUILLMAR_NATIVE_CPP_EXCEPTION" && answer.message == message &&
      answer.value.IsNull()) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "answered " << answer.code << " " << answer.message;
}

// The string under `key` in a success reply, or "" when there is none.
inline std::string ReplyText(const RecordedAnswer& answer, const std::string& key) {
  const auto* map = answer.value.GetIf<EncodableMap>();
  if (!map) return "";
  auto entry = map->find(EncodableValue(key));
  if (entry == map->end()) return "";
  const auto* text = entry->second.GetIf<std::string>();
  return text ? *text : "";
}

inline constexpr char kNotBase64[] =
    "The text is not base64 (standard alphabet with \"=\" padding).";

// The reply to a decryption that succeeded.
inline EncodableMap Decrypted(const std::string& message) {
  return MakeReplyMap({{"value", message}, {"authenticationSuccess", true}});
}

// Hands out scripted random bytes, in order, then fresh ones.
class ScriptedRandom : public platform::CryptographyWrapper {
 public:
  explicit ScriptedRandom(std::deque<std::string> base64_draws)
      : CryptographyWrapper(&platform::DefaultService<platform::Cryptography>()),
        draws_(std::move(base64_draws)),
        scope_(this) {}

  platform::Buffer GenerateRandom(uint32_t count) override {
    if (draws_.empty()) return CryptographyWrapper::GenerateRandom(count);
    platform::Buffer bytes = DecodeFromBase64String(Wide(draws_.front()));
    draws_.pop_front();
    EXPECT_EQ(bytes.size(), count);
    return bytes;
  }

  static platform::PlatformString Wide(const std::string& ascii) {
    return platform::PlatformString(std::u16string(ascii.begin(), ascii.end()));
  }

 private:
  std::deque<std::string> draws_;
  platform::ScopedOverride<platform::Cryptography> scope_;
};

}  // namespace quillmar::testing
