// A scripted Store: how many updates it lists, the progress reports and the
// final state of their install, the failure of any step, and the outcome of
// the restart request. Operations end on producer threads of the fake's own,
// as the platform's do; the install's producer first waits until the thread
// that requested the install (the platform thread, when it has a context)
// has finished what it was doing, so that the progress handler is in place.
// Configure before use; the call record is guarded by one mutex.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/store_updates.h"

namespace quillmar::platform::fake {

struct StoreScript {
  std::optional<PlatformError> get_default_error;
  std::optional<PlatformError> initialize_error;  // InitializeWithWindow raises
  std::optional<PlatformError> listing_error;     // the listing operation fails
  bool listing_ends_later = false;                // on a producer thread, not at once
  size_t update_count = 0;
  std::optional<PlatformError> install_request_error;  // the request raises
  std::vector<double> total_progress;                  // one report each, in order
  std::function<void(size_t)> before_report;           // on the producer, before report i
  std::optional<PlatformError> install_error;          // the install operation fails
  bool install_canceled = false;
  StorePackageUpdateState final_state = StorePackageUpdateState::kCompleted;
  enum class Restart { kRestarts, kFails, kRaises, kNeverEnds } restart = Restart::kRestarts;
};

class FakeStoreUpdates : public StoreUpdates {
 public:
  explicit FakeStoreUpdates(StoreScript script);
  // Joins the producer threads.
  ~FakeStoreUpdates() override;

  std::shared_ptr<StoreContext> GetDefault() override;
  AsyncOperationPtr<AppRestartFailureReason> RequestRestartAsync(
      const PlatformString& launch_arguments) override;

  // Runs on the requesting thread when a restart is requested.
  void set_restart_hook(std::function<void()> hook);
  // Ends a restart request left running by Restart::kNeverEnds.
  void FinishRestart();

  size_t listing_requests() const;
  // The package names of each install request.
  std::vector<std::vector<std::u16string>> install_requests() const;
  std::vector<std::u16string> restart_requests() const;
  // The windows contexts were initialised with, in order.
  std::vector<void*> initialized_windows() const;
  // The window the context had when each install was requested (null when
  // it had none).
  std::vector<void*> install_windows() const;

 private:
  friend class FakeStoreContext;
  void Produce(std::function<void()> work);
  AsyncOperationPtr<StorePackageUpdates> ListUpdates();
  void InitializeWithWindow(void* owner_window);
  std::shared_ptr<StoreInstallOperation> Install(const StorePackageUpdates& updates,
                                                 void* owner_window,
                                                 StoreInstallOperation::ProgressHandler progress);

  const StoreScript script_;
  mutable std::mutex mutex_;
  std::vector<std::thread> producers_;
  size_t listing_requests_ = 0;
  std::vector<std::vector<std::u16string>> install_requests_;
  std::vector<std::u16string> restart_requests_;
  std::vector<void*> initialized_windows_;
  std::vector<void*> install_windows_;
  std::function<void()> restart_hook_;
  AsyncOperationPtr<AppRestartFailureReason> running_restart_;
};

}  // namespace quillmar::platform::fake
