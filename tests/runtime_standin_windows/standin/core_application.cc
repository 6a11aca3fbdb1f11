// CoreApplication.RequestRestartAsync: the outcome as the script chooses,
// the arguments recorded. The stand-in never ends the process.
#include <application_model_core.h>

#include "async_operation.h"
#include "factories.h"
#include "state.h"

namespace quillmar::standin {
namespace {

namespace core = ABI::Windows::ApplicationModel::Core;

using RestartOperation =
    AsyncOperation<core::AppRestartFailureReason, core::AppRestartFailureReason>;

class RestartFactory final
    : public Factory<IActivationFactory, core::ICoreApplication3, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance != nullptr) *instance = nullptr;
    return E_NOTIMPL;
  }

  // CoreApplication.RequestRestartAsync: "Restart the app"; the operation
  // gives an AppRestartFailureReason (RestartPending, NotInForeground,
  // InvalidUser, Other) when the restart is not carried out at once.
  HRESULT STDMETHODCALLTYPE RequestRestartAsync(
      HSTRING launch_arguments,
      ABI::Windows::Foundation::IAsyncOperation<core::AppRestartFailureReason>** operation)
      override {
    if (operation == nullptr) return E_POINTER;
    *operation = nullptr;
    state::Record("restart arguments=" + ToUtf8(FromString(launch_arguments)));
    HRESULT failure = state::Failure("core.restart");
    if (FAILED(failure)) return failure;
    auto reason = static_cast<core::AppRestartFailureReason>(
        state::ScriptNumber("restart.reason", core::AppRestartFailureReason_RestartPending));
    *operation = Start<RestartOperation>("core.restart", [reason](RestartOperation& restart,
                                                                  HRESULT failure) {
                   if (FAILED(failure)) {
                     restart.Fail(failure);
                   } else {
                     restart.Complete(reason);
                   }
                 }).Detach();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE RequestRestartForUserAsync(
      IInspectable*, HSTRING,
      ABI::Windows::Foundation::IAsyncOperation<core::AppRestartFailureReason>** operation)
      override {
    if (operation != nullptr) *operation = nullptr;
    return E_NOTIMPL;
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.ApplicationModel.Core.CoreApplication";
  }
};

}  // namespace

IActivationFactory* CoreApplicationFactory() {
  static RestartFactory* factory = new RestartFactory();
  return factory;
}

}  // namespace quillmar::standin
