// Linux offers no user consent verifier the library could rely on: the
// device is reported as not present, and no prompt is ever shown.
#include <memory>

#include "platform/consent_verifier.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

template <class Result>
AsyncOperationPtr<Result> Completed(Result result) {
  auto operation = std::make_shared<AsyncOperation<Result>>();
  operation->Complete(result);
  return operation;
}

class LinuxUserConsentVerifier : public UserConsentVerifier {
 public:
  AsyncOperationPtr<UserConsentVerifierAvailability> CheckAvailabilityAsync() override {
    return Completed(UserConsentVerifierAvailability::kDeviceNotPresent);
  }

  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationAsync(
      const PlatformString&) override {
    return Completed(UserConsentVerificationResult::kDeviceNotPresent);
  }

  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationForWindowAsync(
      void*, const PlatformString&) override {
    return Completed(UserConsentVerificationResult::kDeviceNotPresent);
  }
};

}  // namespace

template <>
UserConsentVerifier& DefaultService<UserConsentVerifier>() {
  static LinuxUserConsentVerifier service;
  return service;
}

}  // namespace quillmar::platform
