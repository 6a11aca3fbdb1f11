// User consent verification through UserConsentVerifier. A desktop program
// parents the prompt to its own top-level window through the class's
// interop interface; the plain form is for callers without a window.
#include <security_credentials_ui.h>
#include <window_interop.h>

#include <memory>

#include "platform/consent_verifier.h"
#include "platform/service_registry.h"
#include "platform/windows/winrt_support.h"

namespace quillmar::platform {
namespace {

namespace ui = ABI::Windows::Security::Credentials::UI;
using ABI::Windows::Foundation::IAsyncOperation;
using ABI::Windows::Foundation::IAsyncOperationCompletedHandler;
using windows::ComPtr;

template <class Result, class AbiResult>
AsyncOperationPtr<Result> Adapt(const ComPtr<IAsyncOperation<AbiResult>>& operation) {
  auto target = std::make_shared<AsyncOperation<Result>>();
  windows::CompleteFrom<IAsyncOperationCompletedHandler<AbiResult>, AbiResult>(
      operation, target, [](AbiResult value) { return static_cast<Result>(value); });
  return target;
}

// An operation that has already failed: the contract reports a prompt that
// cannot be shown through the operation, not by raising.
template <class Result>
AsyncOperationPtr<Result> Failed(const PlatformError& error) {
  auto operation = std::make_shared<AsyncOperation<Result>>();
  operation->Fail(error);
  return operation;
}

ComPtr<ui::IUserConsentVerifierStatics> Statics() {
  return windows::GetActivationFactory<ui::IUserConsentVerifierStatics>(
      RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier);
}

class WindowsUserConsentVerifier : public UserConsentVerifier {
 public:
  AsyncOperationPtr<UserConsentVerifierAvailability> CheckAvailabilityAsync() override {
    try {
      ComPtr<IAsyncOperation<ui::UserConsentVerifierAvailability>> operation;
      windows::ThrowIfFailed(Statics()->CheckAvailabilityAsync(operation.put()));
      return Adapt<UserConsentVerifierAvailability>(operation);
    } catch (const PlatformError& error) {
      return Failed<UserConsentVerifierAvailability>(error);
    }
  }

  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationAsync(
      const PlatformString& message) override {
    try {
      windows::HStringReference text(message);
      ComPtr<IAsyncOperation<ui::UserConsentVerificationResult>> operation;
      windows::ThrowIfFailed(Statics()->RequestVerificationAsync(text.get(), operation.put()));
      return Adapt<UserConsentVerificationResult>(operation);
    } catch (const PlatformError& error) {
      return Failed<UserConsentVerificationResult>(error);
    }
  }

  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationForWindowAsync(
      void* owner_window, const PlatformString& message) override {
    try {
      ComPtr<IUserConsentVerifierInterop> interop =
          windows::GetActivationFactory<IUserConsentVerifierInterop>(
              RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier);
      // The prompt belongs to the application's frame, not to the view
      // inside it.
      HWND window = GetAncestor(static_cast<HWND>(owner_window), GA_ROOT);
      if (window == nullptr) window = static_cast<HWND>(owner_window);
      windows::HStringReference text(message);
      ComPtr<IAsyncOperation<ui::UserConsentVerificationResult>> operation;
      windows::ThrowIfFailed(interop->RequestVerificationForWindowAsync(
          window, text.get(), windows::IidOf<IAsyncOperation<ui::UserConsentVerificationResult>>(),
          reinterpret_cast<void**>(operation.put())));
      return Adapt<UserConsentVerificationResult>(operation);
    } catch (const PlatformError& error) {
      return Failed<UserConsentVerificationResult>(error);
    }
  }
};

}  // namespace

template <>
UserConsentVerifier& DefaultService<UserConsentVerifier>() {
  static WindowsUserConsentVerifier service;
  return service;
}

}  // namespace quillmar::platform
