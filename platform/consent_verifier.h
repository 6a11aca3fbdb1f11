// User consent verification (UserConsentVerifier): a check of the user's
// presence, such as a fingerprint, face or PIN. Callable from any thread; the
// operations complete on a thread of the platform's choosing, possibly before
// the call returns.
#pragma once

#include <cstdint>

#include "platform/async_operation.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

// The platform's values; an operation may deliver a value outside these.
enum class UserConsentVerifierAvailability : int32_t {
  kAvailable = 0,
  kDeviceNotPresent = 1,
  kNotConfiguredForUser = 2,
  kDisabledByPolicy = 3,
  kDeviceBusy = 4,
};

enum class UserConsentVerificationResult : int32_t {
  kVerified = 0,
  kDeviceNotPresent = 1,
  kNotConfiguredForUser = 2,
  kDisabledByPolicy = 3,
  kDeviceBusy = 4,
  kRetriesExhausted = 5,
  kCanceled = 6,
};

class UserConsentVerifier {
 public:
  virtual ~UserConsentVerifier() = default;

  // Whether a verification can be made for this user on this device. The
  // operation fails with a PlatformError when the check itself fails.
  virtual AsyncOperationPtr<UserConsentVerifierAvailability> CheckAvailabilityAsync() = 0;

  // Shows the verification prompt with `message` and yields its outcome. The
  // operation fails with a PlatformError when no prompt can be shown.
  virtual AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationAsync(
      const PlatformString& message) = 0;

  // The same, with the prompt parented to `owner_window` (the application's
  // window, an HWND on Windows; never null), as a desktop program needs: the
  // plain form may open behind the application.
  virtual AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationForWindowAsync(
      void* owner_window, const PlatformString& message) = 0;
};

}  // namespace quillmar::platform
