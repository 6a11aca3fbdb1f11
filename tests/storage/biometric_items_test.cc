#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/arguments.h"
#include "common/registration_state.h"
#include "platform/platform_error.h"
#include "storage/handlers.h"
#include "tests/storage/store_fixture.h"
#include "tests/support/system_text.h"

namespace quillmar::storage_test {
namespace {

using platform::PlatformError;
using platform::UserConsentVerificationResult;
using platform::UserConsentVerifierAvailability;
using Timing = FakeUserConsentVerifier::Timing;
using Availability = FakeUserConsentVerifier::Outcome<UserConsentVerifierAvailability>;
using Verification = FakeUserConsentVerifier::Outcome<UserConsentVerificationResult>;

EncodableValue ItemArgs(const std::string& key, const std::string& prompt = "Unlock your vault") {
  return testing::MapArgs({{"itemKey", key}, {"biometricPrompt", prompt}});
}

EncodableValue SecureItemReply(const std::string& status, std::optional<std::string> error,
                               std::optional<std::string> item_value) {
  return EncodableValue(
      MakeReplyMap({{"status", status}, {"error", Text(error)}, {"itemValue", Text(item_value)}}));
}

class BiometricTest : public StoreTest {
 protected:
  // Starts the handler, waits for its answer and checks that it was the only
  // one and that the task released the result.
  RecordedAnswer CallAndWait(MethodHandler handler, const EncodableValue& arguments) {
    auto [log, result] = testing::MakeRecordingResult();
    handler(&arguments, std::move(result));
    EXPECT_TRUE(log->WaitFor(1));
    for (int i = 0; i < 1000 && !log->released(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(log->released());
    EXPECT_EQ(log->answers().size(), 1u);
    if (log->answers().empty()) return {};
    return log->answers().front();
  }
};

struct AvailabilityRow {
  const char* name;
  Availability outcome;
  const char* answer;
};

class AvailabilityTest : public BiometricTest,
                         public ::testing::WithParamInterface<AvailabilityRow> {};

TEST_P(AvailabilityTest, AnswersTheMappedText) {
  verifier_.set_timing(Timing::kOnAnotherThread);
  verifier_.set_availability(GetParam().outcome);
  ExpectSuccess(CallAndWait(HandleGetBiometryAvailability, EncodableValue()),
                EncodableValue(GetParam().answer));
}

INSTANTIATE_TEST_SUITE_P(
    EachAvailability, AvailabilityTest,
    ::testing::Values(
        AvailabilityRow{"Available", UserConsentVerifierAvailability::kAvailable,
                        "available_and_enrolled"},
        AvailabilityRow{"DeviceBusy", UserConsentVerifierAvailability::kDeviceBusy,
                        "available_and_enrolled"},
        AvailabilityRow{"NotConfigured", UserConsentVerifierAvailability::kNotConfiguredForUser,
                        "available_but_not_enrolled"},
        AvailabilityRow{"DisabledByPolicy", UserConsentVerifierAvailability::kDisabledByPolicy,
                        "disabled_by_policy"},
        AvailabilityRow{"DeviceNotPresent", UserConsentVerifierAvailability::kDeviceNotPresent,
                        "not_available"},
        AvailabilityRow{"UnknownValue", static_cast<UserConsentVerifierAvailability>(7),
                        "not_available"},
        AvailabilityRow{"CheckFails", PlatformError(platform::kEFail), "not_available"},
        AvailabilityRow{"CheckCanceled", FakeUserConsentVerifier::Canceled{}, "not_available"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BiometricTest, AvailabilityBeforeWindows10IsUnimplementedWithoutACheck) {
  version_.set_windows10_or_later(false);
  ExpectSuccess(CallAndWait(HandleGetBiometryAvailability, EncodableValue()),
                EncodableValue("unimplemented_prior_to_windows10"));
  EXPECT_EQ(verifier_.availability_checks(), 0);
}

struct VerificationRow {
  const char* name;
  int32_t result;
  const char* status;
  std::optional<std::string> error;
  bool gives_value;
};

class VerificationTest : public BiometricTest,
                         public ::testing::WithParamInterface<VerificationRow> {};

TEST_P(VerificationTest, AnswersTheMappedStatusAfterPromptingWithTheCallersText) {
  const VerificationRow& row = GetParam();
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kOnAnotherThread);
  verifier_.set_verification(static_cast<UserConsentVerificationResult>(row.result));

  ExpectSuccess(
      CallAndWait(HandleGetBiometricSecureItem, ItemArgs("k", "Unlock «Quillmar»")),
      SecureItemReply(row.status, row.error,
                      row.gives_value ? std::optional<std::string>("secret") : std::nullopt));
  EXPECT_EQ(verifier_.prompts(), std::vector<std::u16string>{u"Unlock «Quillmar»"});
}

INSTANTIATE_TEST_SUITE_P(
    EachResult, VerificationTest,
    ::testing::Values(
        VerificationRow{"Verified", 0, "ok", {}, true},
        VerificationRow{"DeviceNotPresent", 1, "device_not_present", {}, false},
        VerificationRow{"NotConfigured", 2, "biometry_not_configured", {}, false},
        VerificationRow{"DisabledByPolicy", 3, "biometry_disabled_by_policy", {}, false},
        VerificationRow{"DeviceBusy", 4, "device_busy", {}, false},
        VerificationRow{"RetriesExhausted", 5, "auth_failed", {}, false},
        VerificationRow{"Canceled", 6, "user_cancelled", {}, false},
        VerificationRow{"UnknownValue", 99, "unknown",
                        "UserConsentVerifier returned a value that was not expected.", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The prompt goes to the application's window when registration found one.
class PromptWindowTest : public BiometricTest, public ::testing::WithParamInterface<bool> {
 protected:
  void TearDown() override { RemoveRegistration(this); }
  int stand_in_ = 0;
};

TEST_P(PromptWindowTest, PromptIsParentedToTheHostWindowWhenThereIsOne) {
  void* window = GetParam() ? &stand_in_ : nullptr;
  AddRegistration(this, window, nullptr);
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kOnAnotherThread);
  ExpectSuccess(CallAndWait(HandleGetBiometricSecureItem, ItemArgs("k", "Unlock")),
                SecureItemReply("ok", {}, "secret"));
  EXPECT_EQ(verifier_.prompts(), std::vector<std::u16string>{u"Unlock"});
  EXPECT_EQ(verifier_.prompt_windows(), std::vector<void*>{window});
}

INSTANTIATE_TEST_SUITE_P(HostWindow, PromptWindowTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "WithWindow" : "WithoutWindow");
                         });

TEST_F(BiometricTest, MissingItemAnswersOkAtOnceWithoutAPrompt) {
  verifier_.set_timing(Timing::kWhenReleased);
  RecordedAnswer answer = Call(HandleGetBiometricSecureItem, ItemArgs("missing"));
  ExpectSuccess(answer, SecureItemReply("ok", {}, {}));
  EXPECT_TRUE(verifier_.prompts().empty());
}

TEST_F(BiometricTest, VaultFailureAnswersErrorWithoutAPrompt) {
  vault_.FailNext(FakeVault::Op::kRetrieve,
                  PlatformError(platform::kEAccessDenied, u"The collection is locked."));
  ExpectSuccess(Call(HandleGetBiometricSecureItem, ItemArgs("k")),
                SecureItemReply("error", "The collection is locked.", {}));
  EXPECT_TRUE(verifier_.prompts().empty());
}

TEST_F(BiometricTest, FailedOrCanceledVerificationAnswersErrorWithItsMessage) {
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kOnAnotherThread);
  verifier_.set_verification(PlatformError(platform::kEFail, u"The prompt could not be shown."));
  ExpectSuccess(CallAndWait(HandleGetBiometricSecureItem, ItemArgs("k")),
                SecureItemReply("error", "The prompt could not be shown.", {}));

  verifier_.set_verification(FakeUserConsentVerifier::Canceled{});
  ExpectSuccess(
      CallAndWait(HandleGetBiometricSecureItem, ItemArgs("k")),
      SecureItemReply("error",
                      ::quillmar::testing::SystemText(platform::kECanceled,
                                                      "The operation was canceled by the user."),
                      {}));
}

TEST_F(BiometricTest, WrongArgumentTypeIsAnsweredOnceInTheDispatchersConvention) {
  RecordedAnswer answer = CallAndWait(HandleGetBiometricSecureItem,
                                      testing::MapArgs({{"itemKey", EncodableValue(42)}}));
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
  EXPECT_EQ(answer.message, "bad variant access");
  EXPECT_TRUE(answer.value.IsNull());
}

TEST_F(BiometricTest, TaskOwnsTheResultUntilTheVerificationEnds) {
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kWhenReleased);
  auto [log, result] = testing::MakeRecordingResult();
  {
    EncodableValue arguments = ItemArgs("k");
    HandleGetBiometricSecureItem(&arguments, std::move(result));
  }  // the call's arguments are gone, as after a real dispatch
  EXPECT_TRUE(log->answers().empty());
  EXPECT_FALSE(log->released());

  verifier_.ReleaseHeld();

  ASSERT_TRUE(log->WaitFor(1));
  ExpectSuccess(log->answers().at(0), SecureItemReply("ok", {}, "secret"));
  for (int i = 0; i < 1000 && !log->released(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(log->released());
  EXPECT_EQ(log->answers().size(), 1u);
}

TEST_F(BiometricTest, AnswerIsSentInTheContextOfTheThreadThatStartedTheTask) {
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kWhenReleased);
  auto sta = platform::fake::FakeStaThread::Start(&apartment_);
  auto [log, result] = testing::MakeRecordingResult();
  EncodableValue arguments = ItemArgs("k");
  sta->RunAndWait([&] { HandleGetBiometricSecureItem(&arguments, std::move(result)); });

  verifier_.ReleaseHeld();

  ASSERT_TRUE(log->WaitFor(1));
  EXPECT_EQ(log->answers()[0].thread, sta->id());
  ASSERT_EQ(verifier_.completion_threads().size(), 1u);
  EXPECT_NE(verifier_.completion_threads()[0], sta->id());
  sta->Stop();
}

TEST_F(BiometricTest, LegacyOnlyItemIsFoundOnceAKeychainReadHasMovedIt) {
  PutLegacy("k", "legacy secret");
  ExpectSuccess(Call(HandleGetBiometricSecureItem, ItemArgs("k")), SecureItemReply("ok", {}, {}));

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "legacy secret"));

  ExpectSuccess(Call(HandleGetBiometricSecureItem, ItemArgs("k")),
                SecureItemReply("ok", {}, "legacy secret"));
}

TEST_F(BiometricTest, ConcurrentCompletionsAnswerEveryCallExactlyOnce) {
  PutVault("k", "secret");
  verifier_.set_timing(Timing::kOnAnotherThread);
  std::vector<std::shared_ptr<testing::AnswerLog>> logs;
  for (int i = 0; i < 100; ++i) {
    auto [log, result] = testing::MakeRecordingResult();
    EncodableValue arguments = ItemArgs("k");
    if (i % 2 == 0) {
      HandleGetBiometricSecureItem(&arguments, std::move(result));
    } else {
      HandleGetBiometryAvailability(nullptr, std::move(result));
    }
    logs.push_back(log);
  }
  for (size_t i = 0; i < logs.size(); ++i) {
    ASSERT_TRUE(logs[i]->WaitFor(1)) << i;
    ExpectSuccess(logs[i]->answers()[0], i % 2 == 0 ? SecureItemReply("ok", {}, "secret")
                                                    : EncodableValue("available_and_enrolled"));
  }
  for (auto& log : logs) {
    for (int i = 0; i < 1000 && !log->released(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(log->released());
    EXPECT_EQ(log->answers().size(), 1u);
  }
}

}  // namespace
}  // namespace quillmar::storage_test
