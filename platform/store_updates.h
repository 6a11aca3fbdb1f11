// Updates of the application's Store package and the restart that follows
// them (StoreContext and CoreApplication on Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/async_operation.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

enum class StorePackageUpdateState : int32_t {
  kPending = 0,
  kDownloading = 1,
  kDeploying = 2,
  kCompleted = 3,
  kCanceled = 4,
  kOtherError = 5,
  kErrorLowBattery = 6,
  kErrorWiFiRecommended = 7,
  kErrorWiFiRequired = 8,
};

enum class AppRestartFailureReason : int32_t {
  kRestartPending = 0,
  kNotInForeground = 1,
  kInvalidUser = 2,
  kOther = 3,
};

struct StorePackageUpdate {
  PlatformString package_family_name;
  bool mandatory = false;
};

// One progress report of an install: the package it is about and the
// fractions, 0.0 to 1.0, of that package and of the whole download.
struct StorePackageUpdateStatus {
  PlatformString package_family_name;
  uint64_t package_download_size_in_bytes = 0;
  uint64_t package_bytes_downloaded = 0;
  double package_download_progress = 0.0;
  double total_download_progress = 0.0;
  StorePackageUpdateState package_update_state = StorePackageUpdateState::kPending;
};

struct StorePackageUpdateResult {
  StorePackageUpdateState overall_state = StorePackageUpdateState::kPending;
  std::vector<StorePackageUpdateStatus> statuses;
};

using StorePackageUpdates = std::vector<StorePackageUpdate>;
using StoreInstallOperation =
    AsyncOperationWithProgress<StorePackageUpdateResult, StorePackageUpdateStatus>;

// The Store as this application sees it. Callable from any thread.
class StoreContext {
 public:
  virtual ~StoreContext() = default;
  // Ties the context to `owner_window` (the application's window, an HWND on
  // Windows; never null), which a desktop program must do before it installs
  // so that the Store's dialogs have an owner. Raises a PlatformError.
  virtual void InitializeWithWindow(void* owner_window) = 0;
  // The pending updates of the application's package and its optional
  // packages. Raises, or fails the operation with, a PlatformError when the
  // Store cannot be asked.
  virtual AsyncOperationPtr<StorePackageUpdates> GetAppAndOptionalStorePackageUpdatesAsync() = 0;
  // Downloads and installs `updates` in their order. `progress` gets every
  // report, on threads of the platform's choosing, one at a time: it is the
  // operation's progress handler before the platform is given one, so no
  // report made before this returns is lost. Raises, or fails the operation
  // with, a PlatformError.
  virtual std::shared_ptr<StoreInstallOperation> RequestDownloadAndInstallStorePackageUpdatesAsync(
      const StorePackageUpdates& updates, StoreInstallOperation::ProgressHandler progress) = 0;
};

// Callable from any thread.
class StoreUpdates {
 public:
  virtual ~StoreUpdates() = default;
  // StoreContext.GetDefault: the context of the current user; never null.
  // Raises a PlatformError when there is none.
  virtual std::shared_ptr<StoreContext> GetDefault() = 0;
  // CoreApplication.RequestRestartAsync: asks the system to restart the
  // application with `launch_arguments`. Raises, or fails the operation with,
  // a PlatformError.
  virtual AsyncOperationPtr<AppRestartFailureReason> RequestRestartAsync(
      const PlatformString& launch_arguments) = 0;
};

}  // namespace quillmar::platform
