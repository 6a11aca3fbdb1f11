// "installStoreUpdate": installs the pending Store updates, reports their
// download progress as "storeUpdateProgress" and, after a completed update,
// asks for a restart.
#include <exception>
#include <optional>

#include "common/awaiter.h"
#include "common/failure_message.h"
#include "common/registration_state.h"
#include "common/text.h"
#include "platform/apartment.h"
#include "platform/service_registry.h"
#include "platform/store_updates.h"
#include "services/handlers.h"

namespace quillmar {
namespace {

constexpr char kFailedCode[] = "FAILED";
constexpr char kProgressMethod[] = "storeUpdateProgress";

// Sends one notification; once the registrar that owned the channel is
// gone there is nobody to tell and the notification is dropped.
void SendProgress(double total_fraction) {
  SendOwnCall(kProgressMethod, EncodableValue(total_fraction));
}

// The install's progress handler. The platform calls it on threads of its
// own choosing, one report at a time; the host takes channel messages only
// on its platform thread, so each send is queued there, behind the ones
// before it. Without a platform thread to go to it sends where it runs.
// The queue is the thread's message loop where registration captured it:
// entering a COM context would put the send on a pool thread when the
// platform thread lives in the multithreaded apartment.
platform::StoreInstallOperation::ProgressHandler ForwardProgressTo(
    std::shared_ptr<platform::WorkQueue> platform_thread) {
  return [platform_thread](const platform::StorePackageUpdateStatus& status) {
    double total_fraction = status.total_download_progress;
    try {
      if (platform_thread == nullptr) {
        SendProgress(total_fraction);
      } else {
        platform_thread->Post([total_fraction] { SendProgress(total_fraction); });
      }
    } catch (...) {
      // A failed notification stays here; the install goes on.
    }
  };
}

// Detaches the progress handler the install was started with, and the
// platform thread it holds, when the install is no longer awaited.
class ProgressSubscription {
 public:
  explicit ProgressSubscription(std::shared_ptr<platform::StoreInstallOperation> install)
      : install_(std::move(install)) {}
  ~ProgressSubscription() { install_->SetProgress(nullptr); }
  ProgressSubscription(const ProgressSubscription&) = delete;
  ProgressSubscription& operator=(const ProgressSubscription&) = delete;

 private:
  std::shared_ptr<platform::StoreInstallOperation> install_;
};

// Lists and installs the updates; true when they were all installed or
// there were none. Starts on the platform thread and resumes there.
DetachedTask InstallUpdates(std::unique_ptr<MethodResult> result) {
  try {
    std::shared_ptr<platform::WorkQueue> platform_thread = HostThread();
    if (platform_thread == nullptr) {
      platform_thread = platform::Current<platform::Apartment>().CaptureContext();
    }
    std::shared_ptr<platform::StoreContext> store =
        platform::Current<platform::StoreUpdates>().GetDefault();
    // A desktop program's Store dialogs need the application's window as
    // their owner, given before anything is installed.
    if (void* window = HostWindow()) store->InitializeWithWindow(window);
    platform::StorePackageUpdates updates =
        co_await store->GetAppAndOptionalStorePackageUpdatesAsync();
    if (updates.empty()) {
      result->Success(EncodableValue(true));
      co_return;
    }
    std::shared_ptr<platform::StoreInstallOperation> install =
        store->RequestDownloadAndInstallStorePackageUpdatesAsync(
            updates, ForwardProgressTo(platform_thread));
    platform::StorePackageUpdateResult outcome;
    std::optional<platform::PlatformError> failure;
    {
      ProgressSubscription progress(install);
      try {
        outcome = co_await platform::AsyncOperationPtr<platform::StorePackageUpdateResult>(install);
      } catch (const platform::PlatformError& error) {
        failure = error;
      }
    }
    // The reports are all queued by now; the answer, a failure's too, goes
    // out behind them.
    co_await ContinueOn(platform_thread);
    if (failure) throw *failure;
    if (outcome.overall_state != platform::StorePackageUpdateState::kCompleted) {
      result->Success(EncodableValue(false));
      co_return;
    }
    result->Success(EncodableValue(true));
  } catch (const platform::PlatformError& error) {
    result->Error(kFailedCode, PlatformErrorMessage(error));
    co_return;
  } catch (...) {
    result->Error(kNativeExceptionCode, DescribeCurrentFailure());
    co_return;
  }
  // The call is answered; its result, and the host messenger it holds, go
  // now rather than when the restart request ends, if it ever does.
  result.reset();
  try {
    co_await platform::Current<platform::StoreUpdates>().RequestRestartAsync(
        platform::PlatformString());
  } catch (...) {
    // A refused restart is not reported: the call has had its answer.
  }
}

}  // namespace

void HandleInstallStoreUpdate(const EncodableValue*, std::unique_ptr<MethodResult> result) {
  InstallUpdates(std::move(result));
}

}  // namespace quillmar
