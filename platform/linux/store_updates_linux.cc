// Linux has no Store: listing the updates fails with an error that says so,
// and there is no restart service to ask.
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/store_updates.h"

namespace quillmar::platform {
namespace {

template <class Result>
AsyncOperationPtr<Result> FailedOperation(const char16_t* message) {
  auto operation = std::make_shared<AsyncOperation<Result>>();
  operation->Fail(PlatformError(kENotImpl, PlatformString(message)));
  return operation;
}

class NoStoreContext : public StoreContext {
 public:
  // No Store dialog to give an owner to.
  void InitializeWithWindow(void*) override {}

  AsyncOperationPtr<StorePackageUpdates> GetAppAndOptionalStorePackageUpdatesAsync() override {
    return FailedOperation<StorePackageUpdates>(
        u"No Store is available on this system, so there are no Store updates to install.");
  }

  std::shared_ptr<StoreInstallOperation> RequestDownloadAndInstallStorePackageUpdatesAsync(
      const StorePackageUpdates&, StoreInstallOperation::ProgressHandler) override {
    throw PlatformError(kENotImpl, PlatformString(u"No Store is available on this system."));
  }
};

class LinuxStoreUpdates : public StoreUpdates {
 public:
  std::shared_ptr<StoreContext> GetDefault() override { return std::make_shared<NoStoreContext>(); }

  AsyncOperationPtr<AppRestartFailureReason> RequestRestartAsync(const PlatformString&) override {
    return FailedOperation<AppRestartFailureReason>(
        u"This system offers no service to restart the application.");
  }
};

}  // namespace

template <>
StoreUpdates& DefaultService<StoreUpdates>() {
  static LinuxStoreUpdates service;
  return service;
}

}  // namespace quillmar::platform
