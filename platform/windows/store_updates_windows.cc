// Store updates through StoreContext, and the restart through
// CoreApplication. A context hands back, for installing, the very list of
// updates it listed: the Store takes its own update objects, in its order.
#include <application_model_core.h>
#include <services_store.h>
#include <window_interop.h>

#include <memory>
#include <mutex>
#include <utility>

#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/store_updates.h"
#include "platform/windows/winrt_support.h"

namespace quillmar::platform {
namespace {

namespace store = ABI::Windows::Services::Store;
namespace core = ABI::Windows::ApplicationModel::Core;
using ABI::Windows::Foundation::IAsyncOperation;
using ABI::Windows::Foundation::IAsyncOperationCompletedHandler;
using ABI::Windows::Foundation::IAsyncOperationProgressHandler;
using ABI::Windows::Foundation::IAsyncOperationWithProgress;
using ABI::Windows::Foundation::IAsyncOperationWithProgressCompletedHandler;
using ABI::Windows::Foundation::Collections::IIterable;
using ABI::Windows::Foundation::Collections::IVectorView;
using windows::ComPtr;

using UpdateList = IVectorView<store::StorePackageUpdate*>;
using InstallOperation =
    IAsyncOperationWithProgress<store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>;

StorePackageUpdateStatus StatusFrom(const store::StorePackageUpdateStatus& status) {
  StorePackageUpdateStatus result;
  result.package_family_name = windows::ToPlatformString(status.PackageFamilyName);
  result.package_download_size_in_bytes = status.PackageDownloadSizeInBytes;
  result.package_bytes_downloaded = status.PackageBytesDownloaded;
  result.package_download_progress = status.PackageDownloadProgress;
  result.total_download_progress = status.TotalDownloadProgress;
  result.package_update_state = static_cast<StorePackageUpdateState>(status.PackageUpdateState);
  return result;
}

StorePackageUpdates UpdatesFrom(UpdateList& list) {
  UINT32 size = 0;
  windows::ThrowIfFailed(list.get_Size(&size));
  StorePackageUpdates updates;
  for (UINT32 i = 0; i < size; ++i) {
    ComPtr<store::IStorePackageUpdate> update;
    windows::ThrowIfFailed(list.GetAt(i, update.put()));
    boolean mandatory = false;
    windows::ThrowIfFailed(update->get_Mandatory(&mandatory));
    // The package's family name is not read: nothing here uses it.
    StorePackageUpdate entry;
    entry.mandatory = mandatory != 0;
    updates.push_back(std::move(entry));
  }
  return updates;
}

StorePackageUpdateResult ResultFrom(store::IStorePackageUpdateResult& result) {
  StorePackageUpdateResult converted;
  store::StorePackageUpdateState state = store::StorePackageUpdateState_Pending;
  windows::ThrowIfFailed(result.get_OverallState(&state));
  converted.overall_state = static_cast<StorePackageUpdateState>(state);
  ComPtr<IVectorView<store::StorePackageUpdateStatus>> statuses;
  windows::ThrowIfFailed(result.get_StorePackageUpdateStatuses(statuses.put()));
  UINT32 size = 0;
  if (statuses) windows::ThrowIfFailed(statuses->get_Size(&size));
  for (UINT32 i = 0; i < size; ++i) {
    store::StorePackageUpdateStatus status{};
    windows::ThrowIfFailed(statuses->GetAt(i, &status));
    // The status's name is ours from here on, also when converting throws.
    windows::HString name(status.PackageFamilyName);
    converted.statuses.push_back(StatusFrom(status));
  }
  return converted;
}

// The list the context's last listing gave, shared with the listing's
// completion handler, which may run on any thread.
struct Listing {
  std::mutex mutex;
  ComPtr<UpdateList> updates;
};

class WindowsStoreContext : public StoreContext {
 public:
  explicit WindowsStoreContext(ComPtr<store::IStoreContext> context)
      : context_(std::move(context)), listing_(std::make_shared<Listing>()) {}

  void InitializeWithWindow(void* owner_window) override {
    ComPtr<IInitializeWithWindow> initialize = context_.As<IInitializeWithWindow>();
    // A context that takes no window has no dialog that needs one.
    if (!initialize) return;
    HWND window = GetAncestor(static_cast<HWND>(owner_window), GA_ROOT);
    if (window == nullptr) window = static_cast<HWND>(owner_window);
    windows::ThrowIfFailed(initialize->Initialize(window));
  }

  AsyncOperationPtr<StorePackageUpdates> GetAppAndOptionalStorePackageUpdatesAsync() override {
    ComPtr<IAsyncOperation<UpdateList*>> operation;
    windows::ThrowIfFailed(context_->GetAppAndOptionalStorePackageUpdatesAsync(operation.put()));
    auto target = std::make_shared<AsyncOperation<StorePackageUpdates>>();
    windows::CompleteFrom<IAsyncOperationCompletedHandler<UpdateList*>, UpdateList*>(
        operation, target, [listing = listing_](UpdateList* results) {
          ComPtr<UpdateList> updates = ComPtr<UpdateList>::Attach(results);
          if (!updates) return StorePackageUpdates();
          StorePackageUpdates converted = UpdatesFrom(*updates.get());
          std::lock_guard lock(listing->mutex);
          listing->updates = std::move(updates);
          return converted;
        });
    return target;
  }

  std::shared_ptr<StoreInstallOperation> RequestDownloadAndInstallStorePackageUpdatesAsync(
      const StorePackageUpdates& updates, StoreInstallOperation::ProgressHandler forward) override {
    ComPtr<IIterable<store::StorePackageUpdate*>> listed = ListedUpdates(updates.size());
    ComPtr<InstallOperation> operation;
    windows::ThrowIfFailed(
        context_->RequestDownloadAndInstallStorePackageUpdatesAsync(listed.get(), operation.put()));
    auto target = std::make_shared<StoreInstallOperation>();
    // The target forwards before the platform can report: a report made as
    // soon as the handler is attached reaches the caller.
    target->SetProgress(std::move(forward));
    using ProgressHandler = IAsyncOperationProgressHandler<store::StorePackageUpdateResult*,
                                                           store::StorePackageUpdateStatus>;
    ComPtr<ProgressHandler> progress = windows::
        AgileDelegate<ProgressHandler, InstallOperation*, store::StorePackageUpdateStatus>::Create(
            [target](InstallOperation*, store::StorePackageUpdateStatus status) -> HRESULT {
              try {
                target->ReportProgress(StatusFrom(status));
                return S_OK;
              } catch (const PlatformError& error) {
                return error.code();
              } catch (...) {
                return E_FAIL;
              }
            });
    windows::ThrowIfFailed(operation->put_Progress(progress.get()));
    windows::CompleteFrom<IAsyncOperationWithProgressCompletedHandler<
                              store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>,
                          store::IStorePackageUpdateResult*>(
        operation, std::static_pointer_cast<AsyncOperation<StorePackageUpdateResult>>(target),
        [](store::IStorePackageUpdateResult* results) {
          ComPtr<store::IStorePackageUpdateResult> result =
              ComPtr<store::IStorePackageUpdateResult>::Attach(results);
          if (!result) throw PlatformError(E_POINTER);
          return ResultFrom(*result.get());
        });
    return target;
  }

 private:
  // The listed updates as the iterable the Store installs from; only the
  // whole list this context gave can be installed.
  ComPtr<IIterable<store::StorePackageUpdate*>> ListedUpdates(size_t count) {
    ComPtr<UpdateList> updates;
    {
      std::lock_guard lock(listing_->mutex);
      updates = listing_->updates;
    }
    UINT32 size = 0;
    if (updates) windows::ThrowIfFailed(updates->get_Size(&size));
    if (!updates || size != count) {
      throw PlatformError(E_INVALIDARG,
                          PlatformString(u"Only the updates this Store context listed, all of "
                                         u"them, can be installed through it."));
    }
    ComPtr<IIterable<store::StorePackageUpdate*>> iterable =
        updates.As<IIterable<store::StorePackageUpdate*>>();
    if (!iterable) throw PlatformError(E_NOINTERFACE);
    return iterable;
  }

  ComPtr<store::IStoreContext> context_;
  std::shared_ptr<Listing> listing_;
};

class WindowsStoreUpdates : public StoreUpdates {
 public:
  std::shared_ptr<StoreContext> GetDefault() override {
    ComPtr<store::IStoreContextStatics> statics =
        windows::GetActivationFactory<store::IStoreContextStatics>(
            RuntimeClass_Windows_Services_Store_StoreContext);
    ComPtr<store::IStoreContext> context;
    windows::ThrowIfFailed(statics->GetDefault(context.put()));
    if (!context) throw PlatformError(E_POINTER);
    return std::make_shared<WindowsStoreContext>(std::move(context));
  }

  AsyncOperationPtr<AppRestartFailureReason> RequestRestartAsync(
      const PlatformString& launch_arguments) override {
    ComPtr<core::ICoreApplication3> application =
        windows::GetActivationFactory<core::ICoreApplication3>(
            RuntimeClass_Windows_ApplicationModel_Core_CoreApplication);
    windows::HStringReference arguments(launch_arguments);
    ComPtr<IAsyncOperation<core::AppRestartFailureReason>> operation;
    windows::ThrowIfFailed(application->RequestRestartAsync(arguments.get(), operation.put()));
    auto target = std::make_shared<AsyncOperation<AppRestartFailureReason>>();
    windows::CompleteFrom<IAsyncOperationCompletedHandler<core::AppRestartFailureReason>,
                          core::AppRestartFailureReason>(
        operation, target, [](core::AppRestartFailureReason reason) {
          return static_cast<AppRestartFailureReason>(reason);
        });
    return target;
  }
};

}  // namespace

template <>
StoreUpdates& DefaultService<StoreUpdates>() {
  static WindowsStoreUpdates service;
  return service;
}

}  // namespace quillmar::platform
