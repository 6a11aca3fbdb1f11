// CoreApplication.RequestRestartAsync: the arguments recorded, then the
// restart goes through and ends the process, or fails as the script
// chooses.
#include <application_model_core.h>

#include <optional>
#include <string>

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

  // CoreApplication.RequestRestartAsync: "Restart the app". A restart that
  // goes through ends the process: the operation never completes. It
  // completes only with an AppRestartFailureReason, each a failure
  // (RestartPending: "A restart is already in progress"; NotInForeground:
  // "An app must be visible and in the foreground when it calls the restart
  // API"; InvalidUser; Other), which "restart.reason" scripts. Without it
  // the stand-in's thread ends the process with kRestartExitCode.
  HRESULT STDMETHODCALLTYPE RequestRestartAsync(
      HSTRING launch_arguments,
      ABI::Windows::Foundation::IAsyncOperation<core::AppRestartFailureReason>** operation)
      override {
    if (operation == nullptr) return E_POINTER;
    *operation = nullptr;
    state::Record("restart arguments=" + ToUtf8(FromString(launch_arguments)));
    HRESULT failure = state::Failure("core.restart");
    if (FAILED(failure)) return failure;
    std::optional<std::string> scripted = state::ScriptValue("restart.reason");
    bool restarts = !scripted || scripted->empty();
    auto reason = static_cast<core::AppRestartFailureReason>(
        state::ScriptNumber("restart.reason", core::AppRestartFailureReason_Other));
    *operation =
        Start<RestartOperation>("core.restart", [restarts, reason](RestartOperation& restart,
                                                                   HRESULT failure) {
          if (FAILED(failure)) return restart.Fail(failure);
          if (restarts) TerminateProcess(GetCurrentProcess(), kRestartExitCode);
          restart.Complete(reason);
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
