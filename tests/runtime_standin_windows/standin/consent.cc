// UserConsentVerifier: availability and the user's answer as the script
// chooses, the prompts recorded. Its factory is also the desktop
// program's interop (IUserConsentVerifierInterop).
#include <security_credentials_ui.h>
#include <window_interop.h>

#include "async_operation.h"
#include "factories.h"
#include "state.h"

namespace quillmar::standin {
namespace {

namespace ui = ABI::Windows::Security::Credentials::UI;

using AvailabilityOperation =
    AsyncOperation<ui::UserConsentVerifierAvailability, ui::UserConsentVerifierAvailability>;
using VerificationOperation =
    AsyncOperation<ui::UserConsentVerificationResult, ui::UserConsentVerificationResult>;

// The user's answer, after the stand-in's delay, on its own thread.
Ref<VerificationOperation> Verification() {
  auto result = static_cast<ui::UserConsentVerificationResult>(
      state::ScriptNumber("consent.result", ui::UserConsentVerificationResult_Verified));
  return Start<VerificationOperation>("consent.request",
                                      [result](VerificationOperation& operation, HRESULT failure) {
                                        if (FAILED(failure)) {
                                          operation.Fail(failure);
                                        } else {
                                          operation.Complete(result);
                                        }
                                      });
}

class ConsentFactory final : public Factory<IActivationFactory, ui::IUserConsentVerifierStatics,
                                            IUserConsentVerifierInterop, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance != nullptr) *instance = nullptr;
    return E_NOTIMPL;
  }

  // UserConsentVerifier.CheckAvailabilityAsync: "Checks to see whether an
  // authentication device ... is available"; the answer is a
  // UserConsentVerifierAvailability.
  HRESULT STDMETHODCALLTYPE CheckAvailabilityAsync(
      ABI::Windows::Foundation::IAsyncOperation<ui::UserConsentVerifierAvailability>** result)
      override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    state::Record("consent.check");
    HRESULT failure = state::Failure("consent.check");
    if (FAILED(failure)) return failure;
    auto availability = static_cast<ui::UserConsentVerifierAvailability>(
        state::ScriptNumber("consent.availability", ui::UserConsentVerifierAvailability_Available));
    *result = Start<AvailabilityOperation>("consent.check", [availability](
                                                                AvailabilityOperation& operation,
                                                                HRESULT failure) {
                if (FAILED(failure)) {
                  operation.Fail(failure);
                } else {
                  operation.Complete(availability);
                }
              }).Detach();
    return S_OK;
  }

  // UserConsentVerifier.RequestVerificationAsync: "Performs a
  // verification using a device such as Microsoft Passport PIN, Windows
  // Hello, or a fingerprint reader"; `message` is shown to the user.
  HRESULT STDMETHODCALLTYPE RequestVerificationAsync(
      HSTRING message,
      ABI::Windows::Foundation::IAsyncOperation<ui::UserConsentVerificationResult>** result)
      override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    state::Record("consent.request prompt=" + ToUtf8(FromString(message)));
    HRESULT failure = state::Failure("consent.request");
    if (FAILED(failure)) return failure;
    *result = Verification().Detach();
    return S_OK;
  }

  // IUserConsentVerifierInterop::RequestVerificationForWindowAsync: the
  // same request, its prompt parented to `app_window`; the operation is
  // returned as the interface `riid` names
  // (IAsyncOperation<UserConsentVerificationResult>).
  HRESULT STDMETHODCALLTYPE RequestVerificationForWindowAsync(HWND app_window, HSTRING message,
                                                              REFIID riid,
                                                              void** operation) override {
    if (operation == nullptr) return E_POINTER;
    *operation = nullptr;
    state::Record("consent.request_for_window window=" + WindowText(app_window) +
                  " prompt=" + ToUtf8(FromString(message)));
    HRESULT failure = state::Failure("consent.request");
    if (FAILED(failure)) return failure;
    return Verification()->QueryInterface(riid, operation);
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Security.Credentials.UI.UserConsentVerifier";
  }
};

}  // namespace

IActivationFactory* ConsentVerifierFactory() {
  static ConsentFactory* factory = new ConsentFactory();
  return factory;
}

}  // namespace quillmar::standin
