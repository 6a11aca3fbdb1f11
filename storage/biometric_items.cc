// "getBiometryAvailability" and "getBiometricSecureItem": each handler moves
// the call's result into a task that waits for the user consent verifier and
// answers once, from wherever the wait resumes (the platform thread when the
// handler ran there).
#include <string>

#include "common/arguments.h"
#include "common/awaiter.h"
#include "common/failure_message.h"
#include "common/registration_state.h"
#include "common/text.h"
#include "platform/consent_verifier.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "storage/handlers.h"
#include "storage/item_stores.h"

namespace quillmar {
namespace {

using platform::UserConsentVerificationResult;
using platform::UserConsentVerifierAvailability;

platform::UserConsentVerifier& Verifier() {
  return platform::Current<platform::UserConsentVerifier>();
}

// Shows the prompt; parented to the application's window when registration
// found one, since a desktop program's plain prompt may open behind it.
platform::AsyncOperationPtr<UserConsentVerificationResult> ShowPrompt(
    const platform::PlatformString& prompt) {
  void* window = HostWindow();
  if (window != nullptr) return Verifier().RequestVerificationForWindowAsync(window, prompt);
  return Verifier().RequestVerificationAsync(prompt);
}

const char* AvailabilityText(UserConsentVerifierAvailability availability) {
  switch (availability) {
    case UserConsentVerifierAvailability::kAvailable:
    case UserConsentVerifierAvailability::kDeviceBusy:
      return "available_and_enrolled";
    case UserConsentVerifierAvailability::kNotConfiguredForUser:
      return "available_but_not_enrolled";
    case UserConsentVerifierAvailability::kDisabledByPolicy:
      return "disabled_by_policy";
    case UserConsentVerifierAvailability::kDeviceNotPresent:
      break;
  }
  return "not_available";
}

struct SecureItemOutcome {
  std::string status;
  std::string error;
  EncodableValue value;  // a value wipes its text when released
};

// Fills the outcome of a finished verification; the value only when verified.
void RecordVerification(UserConsentVerificationResult verification,
                        const platform::PlatformString& password, SecureItemOutcome* outcome) {
  switch (verification) {
    case UserConsentVerificationResult::kVerified:
      outcome->status = "ok";
      outcome->value = TextOrNull(WideToUtf8(password));
      return;
    case UserConsentVerificationResult::kDeviceNotPresent:
      outcome->status = "device_not_present";
      return;
    case UserConsentVerificationResult::kNotConfiguredForUser:
      outcome->status = "biometry_not_configured";
      return;
    case UserConsentVerificationResult::kDisabledByPolicy:
      outcome->status = "biometry_disabled_by_policy";
      return;
    case UserConsentVerificationResult::kDeviceBusy:
      outcome->status = "device_busy";
      return;
    case UserConsentVerificationResult::kRetriesExhausted:
      outcome->status = "auth_failed";
      return;
    case UserConsentVerificationResult::kCanceled:
      outcome->status = "user_cancelled";
      return;
  }
  outcome->status = "unknown";
  outcome->error = "UserConsentVerifier returned a value that was not expected.";
}

EncodableValue OutcomeReply(const SecureItemOutcome& outcome) {
  return EncodableValue(MakeReplyMap({{"status", outcome.status},
                                      {"error", TextOrNull(outcome.error)},
                                      {"itemValue", outcome.value}}));
}

DetachedTask ReportBiometryAvailability(std::unique_ptr<MethodResult> result) {
  try {
    if (!IsWindows10OrLater()) {
      result->Success(EncodableValue("unimplemented_prior_to_windows10"));
      co_return;
    }
    UserConsentVerifierAvailability availability = co_await Verifier().CheckAvailabilityAsync();
    result->Success(EncodableValue(AvailabilityText(availability)));
  } catch (...) {
    result->Success(EncodableValue("not_available"));
  }
}

// `arguments` is read before the first wait only: the call's argument value
// is gone once the handler has returned.
DetachedTask ReadBiometricSecureItem(const EncodableValue* arguments,
                                     std::unique_ptr<MethodResult> result) {
  try {
    SecureItemOutcome outcome;
    try {
      platform::PlatformString prompt =
          Utf8ToWide(ReadStringArgument("biometricPrompt", arguments));
      platform::PlatformString key = Utf8ToWide(ReadStringArgument("itemKey", arguments));
      arguments = nullptr;
      platform::PlatformString password = ReadVaultPassword(key);
      if (password.empty()) {
        outcome.status = "ok";
      } else {
        UserConsentVerificationResult verification = co_await ShowPrompt(prompt);
        RecordVerification(verification, password, &outcome);
      }
    } catch (const platform::PlatformError& error) {
      outcome.status = "error";
      outcome.error = PlatformErrorMessage(error);
    }
    result->Success(OutcomeReply(outcome));
  } catch (...) {
    // Nobody else can answer: the dispatcher has returned long ago.
    result->Error(kNativeExceptionCode, DescribeCurrentFailure());
  }
}

}  // namespace

void HandleGetBiometryAvailability(const EncodableValue*, std::unique_ptr<MethodResult> result) {
  ReportBiometryAvailability(std::move(result));
}

void HandleGetBiometricSecureItem(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result) {
  ReadBiometricSecureItem(arguments, std::move(result));
}

}  // namespace quillmar
