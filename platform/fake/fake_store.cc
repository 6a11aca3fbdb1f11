#include "platform/fake/fake_store.h"

#include <string>

#include "platform/apartment.h"
#include "platform/service_registry.h"

namespace quillmar::platform::fake {

class FakeStoreContext : public StoreContext {
 public:
  explicit FakeStoreContext(FakeStoreUpdates* store) : store_(store) {}

  void InitializeWithWindow(void* owner_window) override {
    store_->InitializeWithWindow(owner_window);
    owner_window_ = owner_window;
  }

  AsyncOperationPtr<StorePackageUpdates> GetAppAndOptionalStorePackageUpdatesAsync() override {
    return store_->ListUpdates();
  }

  std::shared_ptr<StoreInstallOperation> RequestDownloadAndInstallStorePackageUpdatesAsync(
      const StorePackageUpdates& updates,
      StoreInstallOperation::ProgressHandler progress) override {
    return store_->Install(updates, owner_window_, std::move(progress));
  }

 private:
  FakeStoreUpdates* store_;
  void* owner_window_ = nullptr;
};

FakeStoreUpdates::FakeStoreUpdates(StoreScript script) : script_(std::move(script)) {}

FakeStoreUpdates::~FakeStoreUpdates() {
  std::vector<std::thread> producers;
  {
    std::lock_guard lock(mutex_);
    producers.swap(producers_);
  }
  for (std::thread& producer : producers) producer.join();
}

std::shared_ptr<StoreContext> FakeStoreUpdates::GetDefault() {
  if (script_.get_default_error) throw *script_.get_default_error;
  return std::make_shared<FakeStoreContext>(this);
}

void FakeStoreUpdates::Produce(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  producers_.emplace_back(std::move(work));
}

AsyncOperationPtr<StorePackageUpdates> FakeStoreUpdates::ListUpdates() {
  {
    std::lock_guard lock(mutex_);
    ++listing_requests_;
  }
  auto listing = std::make_shared<AsyncOperation<StorePackageUpdates>>();
  auto finish = [listing, script = script_] {
    if (script.listing_error) {
      listing->Fail(*script.listing_error);
      return;
    }
    StorePackageUpdates updates(script.update_count);
    for (size_t i = 0; i < updates.size(); ++i) {
      std::u16string name =
          u"Quillmar.Package" + std::u16string(1, u'A' + static_cast<char16_t>(i));
      updates[i].package_family_name = PlatformString(name);
    }
    listing->Complete(std::move(updates));
  };
  if (script_.listing_ends_later) {
    Produce(finish);
  } else {
    finish();
  }
  return listing;
}

void FakeStoreUpdates::InitializeWithWindow(void* owner_window) {
  {
    std::lock_guard lock(mutex_);
    initialized_windows_.push_back(owner_window);
  }
  if (script_.initialize_error) throw *script_.initialize_error;
}

std::shared_ptr<StoreInstallOperation> FakeStoreUpdates::Install(
    const StorePackageUpdates& updates, void* owner_window,
    StoreInstallOperation::ProgressHandler progress) {
  {
    std::lock_guard lock(mutex_);
    install_windows_.push_back(owner_window);
    std::vector<std::u16string> names;
    for (const StorePackageUpdate& update : updates) {
      names.emplace_back(update.package_family_name.view());
    }
    install_requests_.push_back(std::move(names));
  }
  if (script_.install_request_error) throw *script_.install_request_error;
  auto install = std::make_shared<StoreInstallOperation>();
  install->SetProgress(std::move(progress));
  std::shared_ptr<ObjectContext> requester = Current<Apartment>().CaptureContext();
  Produce([install, requester, script = script_] {
    // Let the requester finish installing its progress handler.
    if (requester != nullptr) requester->Enter([] {});
    for (size_t i = 0; i < script.total_progress.size(); ++i) {
      if (script.before_report) script.before_report(i);
      StorePackageUpdateStatus status;
      status.total_download_progress = script.total_progress[i];
      status.package_download_progress = 1.0 - script.total_progress[i];
      status.package_update_state = StorePackageUpdateState::kDownloading;
      install->ReportProgress(status);
    }
    if (script.install_error) {
      install->Fail(*script.install_error);
    } else if (script.install_canceled) {
      install->Cancel();
    } else {
      StorePackageUpdateResult result;
      result.overall_state = script.final_state;
      install->Complete(std::move(result));
    }
  });
  return install;
}

AsyncOperationPtr<AppRestartFailureReason> FakeStoreUpdates::RequestRestartAsync(
    const PlatformString& launch_arguments) {
  auto restart = std::make_shared<AsyncOperation<AppRestartFailureReason>>();
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    restart_requests_.emplace_back(launch_arguments.view());
    if (script_.restart == StoreScript::Restart::kNeverEnds) running_restart_ = restart;
    hook = restart_hook_;
  }
  if (hook) hook();
  switch (script_.restart) {
    case StoreScript::Restart::kRestarts:
      restart->Complete(AppRestartFailureReason::kRestartPending);
      break;
    case StoreScript::Restart::kFails:
      restart->Fail(PlatformError(kEAccessDenied));
      break;
    case StoreScript::Restart::kRaises:
      throw PlatformError(kEFail);
    case StoreScript::Restart::kNeverEnds:
      break;
  }
  return restart;
}

void FakeStoreUpdates::set_restart_hook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  restart_hook_ = std::move(hook);
}

void FakeStoreUpdates::FinishRestart() {
  AsyncOperationPtr<AppRestartFailureReason> restart;
  {
    std::lock_guard lock(mutex_);
    restart.swap(running_restart_);
  }
  if (restart) restart->Complete(AppRestartFailureReason::kOther);
}

size_t FakeStoreUpdates::listing_requests() const {
  std::lock_guard lock(mutex_);
  return listing_requests_;
}

std::vector<std::vector<std::u16string>> FakeStoreUpdates::install_requests() const {
  std::lock_guard lock(mutex_);
  return install_requests_;
}

std::vector<std::u16string> FakeStoreUpdates::restart_requests() const {
  std::lock_guard lock(mutex_);
  return restart_requests_;
}

std::vector<void*> FakeStoreUpdates::initialized_windows() const {
  std::lock_guard lock(mutex_);
  return initialized_windows_;
}

std::vector<void*> FakeStoreUpdates::install_windows() const {
  std::lock_guard lock(mutex_);
  return install_windows_;
}

}  // namespace quillmar::platform::fake
