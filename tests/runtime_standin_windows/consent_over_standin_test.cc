// "getBiometryAvailability" and "getBiometricSecureItem" through the host
// stand-in, over the stand-in's UserConsentVerifier and vault: every
// availability and every verification result the platform documents, its
// failures, and the prompt as the stand-in was asked to show it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "common/registration_state.h"
#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/recording_result.h"

namespace quillmar::standin_test {
namespace {

using testing::MapArgs;

constexpr platform::HResult kAccessDenied = 0x80070005;
constexpr char kAccessDeniedText[] = "0x80070005";

EncodableValue ReadArgs(const std::string& key, const std::string& prompt) {
  return MapArgs({{"itemKey", key}, {"biometricPrompt", prompt}});
}

MethodReply ItemReply(const char* status, EncodableValue error, EncodableValue value) {
  return MethodReply::Success(
      ReplyMap({{"status", status}, {"error", std::move(error)}, {"itemValue", std::move(value)}}));
}

struct AvailabilityRow {
  const char* name;
  const char* script_key;  // nullptr: none
  const char* script_value;
  const char* answer;
};

void PrintTo(const AvailabilityRow& row, std::ostream* out) { *out << row.name; }

class AvailabilityTest : public OverStandIn<::testing::TestWithParam<AvailabilityRow>> {};

TEST_P(AvailabilityTest, IsAnsweredAsOneString) {
  const AvailabilityRow& row = GetParam();
  if (row.script_key != nullptr) standin::Set(row.script_key, row.script_value);
  ExpectReply(Call("getBiometryAvailability"), MethodReply::Success(row.answer));
}

INSTANTIATE_TEST_SUITE_P(
    EveryOutcome, AvailabilityTest,
    ::testing::Values(
        AvailabilityRow{"Available", nullptr, nullptr, "available_and_enrolled"},
        AvailabilityRow{"DeviceNotPresent", "consent.availability", "1", "not_available"},
        AvailabilityRow{"NotConfiguredForUser", "consent.availability", "2",
                        "available_but_not_enrolled"},
        AvailabilityRow{"DisabledByPolicy", "consent.availability", "3", "disabled_by_policy"},
        AvailabilityRow{"DeviceBusyCountsAsReady", "consent.availability", "4",
                        "available_and_enrolled"},
        AvailabilityRow{"UndocumentedValue", "consent.availability", "5", "not_available"},
        AvailabilityRow{"NoStatics", "fail.consent.statics", kAccessDeniedText, "not_available"},
        AvailabilityRow{"CheckRefused", "fail.consent.check", kAccessDeniedText, "not_available"},
        AvailabilityRow{"CheckEndsInError", "fail.consent.check.operation", kAccessDeniedText,
                        "not_available"}),
    [](const ::testing::TestParamInfo<AvailabilityRow>& info) { return info.param.name; });

class AvailabilityRecordTest : public OverStandIn<> {};

TEST_F(AvailabilityRecordTest, AsksTheVerifierOnceAndShowsNoPrompt) {
  standin::Set("delay_ms", "50");  // the answer comes after the handler has returned
  ExpectReply(Call("getBiometryAvailability"), MethodReply::Success("available_and_enrolled"));
  EXPECT_EQ(standin::Recorded(), std::vector<std::string>{"consent.check"});
}

struct VerificationRow {
  const char* name;
  const char* script_key;
  const char* script_value;
  MethodReply reply;
  bool prompted;
};

void PrintTo(const VerificationRow& row, std::ostream* out) { *out << row.name; }

// How the prompt is asked for: the plain call, or through the interop
// interface with the window the handlers were given.
enum class PromptForm { kPlain, kForWindow };

class VerificationTest
    : public OverStandIn<::testing::TestWithParam<std::tuple<VerificationRow, PromptForm>>> {
 protected:
  void TearDown() override {
    RemoveRegistration(this);
    if (child_ != nullptr) DestroyWindow(child_);
    OverStandIn::TearDown();
  }

  // Gives the handlers a child of the view's top-level window in place of
  // the view's own: the prompt's owner is the root all the same.
  HWND GiveChildOfTheView() {
    Host(/*with_view=*/true);
    HWND root = ViewWindow();
    child_ =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, root, nullptr, nullptr, nullptr);
    EXPECT_NE(child_, nullptr);
    AddRegistration(this, child_, nullptr);
    return root;
  }

  HWND child_ = nullptr;
};

TEST_P(VerificationTest, AnswersTheOutcomeAndShowsThePromptAsGiven) {
  const auto& [row, form] = GetParam();
  standin::PutVaultEntry({"Quillmar", "k", "secret ✓"});
  if (row.script_key != nullptr) standin::Set(row.script_key, row.script_value);
  HWND owner = form == PromptForm::kForWindow ? GiveChildOfTheView() : nullptr;

  ExpectReply(Call("getBiometricSecureItem", ReadArgs("k", "Unlock « Quillmar » 🔐")), row.reply);

  std::vector<std::string> prompts;
  if (row.prompted && form == PromptForm::kPlain) {
    prompts.push_back("consent.request prompt=Unlock « Quillmar » 🔐");
  }
  if (row.prompted && form == PromptForm::kForWindow) {
    char line[128];
    std::snprintf(line, sizeof line, "consent.request_for_window window=%llx prompt=",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)));
    prompts.push_back(line + std::string("Unlock « Quillmar » 🔐"));
  }
  EXPECT_EQ(standin::Recorded(), prompts);
}

INSTANTIATE_TEST_SUITE_P(
    EveryOutcome, VerificationTest,
    ::testing::Combine(
        ::testing::Values(
            VerificationRow{"Verified", nullptr, nullptr,
                            ItemReply("ok", EncodableValue(), "secret ✓"), true},
            VerificationRow{"DeviceNotPresent", "consent.result", "1",
                            ItemReply("device_not_present", EncodableValue(), EncodableValue()),
                            true},
            VerificationRow{
                "NotConfiguredForUser", "consent.result", "2",
                ItemReply("biometry_not_configured", EncodableValue(), EncodableValue()), true},
            VerificationRow{
                "DisabledByPolicy", "consent.result", "3",
                ItemReply("biometry_disabled_by_policy", EncodableValue(), EncodableValue()), true},
            VerificationRow{"DeviceBusy", "consent.result", "4",
                            ItemReply("device_busy", EncodableValue(), EncodableValue()), true},
            VerificationRow{"RetriesExhausted", "consent.result", "5",
                            ItemReply("auth_failed", EncodableValue(), EncodableValue()), true},
            VerificationRow{"Canceled", "consent.result", "6",
                            ItemReply("user_cancelled", EncodableValue(), EncodableValue()), true},
            VerificationRow{
                "UndocumentedValue", "consent.result", "7",
                ItemReply("unknown", "UserConsentVerifier returned a value that was not expected.",
                          EncodableValue()),
                true},
            // Without the runtime's own words the library names the missing class.
            VerificationRow{"NoStatics", "fail.consent.statics", kAccessDeniedText,
                            ItemReply("error",
                                      "The Windows Runtime class "
                                      "Windows.Security.Credentials.UI.UserConsentVerifier is not "
                                      "available: " +
                                          TextOf(kAccessDenied),
                                      EncodableValue()),
                            false},
            VerificationRow{"RequestRefused", "fail.consent.request", kAccessDeniedText,
                            ItemReply("error", TextOf(kAccessDenied), EncodableValue()), true},
            VerificationRow{"RequestEndsInError", "fail.consent.request.operation",
                            kAccessDeniedText,
                            ItemReply("error", TextOf(kAccessDenied), EncodableValue()), true},
            VerificationRow{"VaultRefusesTheRead", "fail.vault.retrieve", kAccessDeniedText,
                            ItemReply("error", TextOf(kAccessDenied), EncodableValue()), false}),
        ::testing::Values(PromptForm::kPlain, PromptForm::kForWindow)),
    [](const ::testing::TestParamInfo<std::tuple<VerificationRow, PromptForm>>& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == PromptForm::kPlain ? "Plain" : "ForWindow");
    });

class ConsentOverStandInTest : public OverStandIn<> {};

TEST_F(ConsentOverStandInTest, ItemNotInTheVaultIsAnsweredWithoutAPrompt) {
  ExpectReply(Call("getBiometricSecureItem", ReadArgs("absent", "Unlock")),
              ItemReply("ok", EncodableValue(), EncodableValue()));
  EXPECT_TRUE(standin::Recorded().empty());
}

TEST_F(ConsentOverStandInTest, VerifiedItemIsAlsoReadWithoutAPrompt) {
  ExpectReply(Call("upsertBiometricSecureItem", MapArgs({{"itemKey", "k"}, {"itemValue", "v"}})),
              MethodReply::Success(ReplyMap({{"error", EncodableValue()}, {"status", "ok"}})));
  standin::Set("delay_ms", "50");
  ExpectReply(Call("getBiometricSecureItem", ReadArgs("k", "")),
              ItemReply("ok", EncodableValue(), "v"));
  ExpectReply(Call("getKeychainItem", MapArgs({{"itemKey", "k"}})),
              MethodReply::Success(
                  ReplyMap({{"error", EncodableValue()}, {"success", true}, {"itemValue", "v"}})));
  EXPECT_EQ(standin::Recorded(), std::vector<std::string>{"consent.request prompt="});
}

// With a view, the prompt is owned by the application's top-level window,
// given through the verifier's interop interface.
TEST_F(ConsentOverStandInTest, PromptIsParentedToTheViewsTopLevelWindow) {
  standin::PutVaultEntry({"Quillmar", "k", "secret"});
  Host(/*with_view=*/true);
  HWND window = ViewWindow();
  ASSERT_NE(window, nullptr);

  ExpectReply(Call("getBiometricSecureItem", ReadArgs("k", "Unlock")),
              ItemReply("ok", EncodableValue(), "secret"));

  std::vector<std::string> record = standin::Recorded();
  ASSERT_EQ(record.size(), 1u);
  EXPECT_EQ(record[0].rfind("consent.request_for_window window=", 0), 0u) << record[0];
  EXPECT_EQ(WindowOf(record[0]), reinterpret_cast<uintptr_t>(window)) << record[0];
  EXPECT_NE(record[0].find(" prompt=Unlock"), std::string::npos) << record[0];
}

}  // namespace
}  // namespace quillmar::standin_test
