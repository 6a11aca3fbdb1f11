// StoreContext: the application's package updates, their install with
// progress, as the script chooses; what the program asked is recorded.
#include <services_store.h>
#include <window_interop.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "async_operation.h"
#include "collections.h"
#include "factories.h"
#include "state.h"

namespace quillmar::standin {

namespace store = ABI::Windows::Services::Store;

// A status carries a string: each copy handed out has a fresh one.
template <>
struct Held<store::StorePackageUpdateStatus> {
  static void Copy(const store::StorePackageUpdateStatus& from,
                   store::StorePackageUpdateStatus* to) {
    *to = from;
    to->PackageFamilyName = nullptr;
    WindowsDuplicateString(from.PackageFamilyName, &to->PackageFamilyName);
  }
  static void Clear(store::StorePackageUpdateStatus& held) {
    WindowsDeleteString(std::exchange(held.PackageFamilyName, nullptr));
  }
};

namespace {

using ABI::Windows::Foundation::Collections::IIterable;
using ABI::Windows::Foundation::Collections::IIterator;
using ABI::Windows::Foundation::Collections::IVectorView;

constexpr wchar_t kFamilyName[] = L"Quillmar.Desktop_8wekyb3d8bbwe";
constexpr double kDownloadedShare = 0.8;
constexpr UINT64 kPackageBytes = 1000;

using UpdateListBase = VectorView<store::StorePackageUpdate*, store::IStorePackageUpdate*,
                                  IIterable<store::StorePackageUpdate*>>;
using ListOperation = AsyncOperation<IVectorView<store::StorePackageUpdate*>*,
                                     IVectorView<store::StorePackageUpdate*>*>;
using InstallOperation =
    AsyncOperationWithProgress<store::StorePackageUpdateResult*, store::StorePackageUpdateStatus,
                               store::IStorePackageUpdateResult*>;

class StatusList final
    : public VectorView<store::StorePackageUpdateStatus, store::StorePackageUpdateStatus> {
 public:
  using VectorView::VectorView;
};

class PackageUpdate final : public Object<store::IStorePackageUpdate, IAgileObject> {
 public:
  // The Package object is not made: nothing here reads it.
  HRESULT STDMETHODCALLTYPE get_Package(IInspectable** value) override {
    if (value != nullptr) *value = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Mandatory(boolean* value) override {
    if (value == nullptr) return E_POINTER;
    *value = false;
    return S_OK;
  }

 protected:
  const wchar_t* ClassName() const override { return L"Windows.Services.Store.StorePackageUpdate"; }
};

class UpdateList;

// IIterator over the list. The metadata's HasCurrent and MoveNext take a
// 1-byte boolean where Wine's IDL declares a 4-byte BOOL: only the first
// byte is written, which is right for a caller of either.
class UpdateIterator final : public Object<IIterator<store::StorePackageUpdate*>, IAgileObject> {
 public:
  explicit UpdateIterator(Ref<UpdateListBase> list) : list_(std::move(list)) {}

  HRESULT STDMETHODCALLTYPE get_Current(store::IStorePackageUpdate** value) override {
    return list_->GetAt(index_, value);
  }
  HRESULT STDMETHODCALLTYPE get_HasCurrent(BOOL* value) override {
    if (value == nullptr) return E_POINTER;
    *reinterpret_cast<boolean*>(value) = index_ < list_->items().size();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveNext(BOOL* value) override {
    if (value == nullptr) return E_POINTER;
    if (index_ < list_->items().size()) ++index_;
    *reinterpret_cast<boolean*>(value) = index_ < list_->items().size();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMany(UINT32 capacity, store::IStorePackageUpdate** items,
                                    UINT32* count) override {
    HRESULT code = list_->GetMany(index_, capacity, items, count);
    if (SUCCEEDED(code)) index_ += *count;
    return code;
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Foundation.Collections.IIterator`1";
  }

 private:
  Ref<UpdateListBase> list_;
  UINT32 index_ = 0;
};

// The list GetAppAndOptionalStorePackageUpdatesAsync gives: an
// IReadOnlyList, so also an IIterable.
class UpdateList final : public UpdateListBase {
 public:
  using UpdateListBase::UpdateListBase;

  HRESULT STDMETHODCALLTYPE First(IIterator<store::StorePackageUpdate*>** value) override {
    if (value == nullptr) return E_POINTER;
    *value = Make<UpdateIterator>(Ref<UpdateListBase>(this)).Detach();
    return S_OK;
  }
};

class UpdateResult final : public Object<store::IStorePackageUpdateResult, IAgileObject> {
 public:
  UpdateResult(store::StorePackageUpdateState state,
               std::vector<store::StorePackageUpdateStatus> statuses)
      : state_(state), statuses_(std::move(statuses)) {}

  // The script's failure of reading the result.
  HRESULT STDMETHODCALLTYPE get_OverallState(store::StorePackageUpdateState* value) override {
    if (value == nullptr) return E_POINTER;
    HRESULT failure = state::Failure("store.result");
    if (FAILED(failure)) return failure;
    *value = state_;
    return S_OK;
  }

  // One status per package, each in the final state and as far as it got.
  HRESULT STDMETHODCALLTYPE
  get_StorePackageUpdateStatuses(IVectorView<store::StorePackageUpdateStatus>** value) override {
    if (value == nullptr) return E_POINTER;
    std::vector<store::StorePackageUpdateStatus> statuses;
    for (const store::StorePackageUpdateStatus& status : statuses_) {
      statuses.push_back(status);
      statuses.back().PackageFamilyName = MakeString(kFamilyName);
    }
    *value = Make<StatusList>(std::move(statuses)).Detach();
    return S_OK;
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Services.Store.StorePackageUpdateResult";
  }

 private:
  const store::StorePackageUpdateState state_;
  const std::vector<store::StorePackageUpdateStatus> statuses_;  // without names
};

// The packages are downloaded one after the other. TotalDownloadProgress
// is the download of all of them ("The download progress of all packages
// ... from 0.0 to 1.0"); PackageDownloadProgress that of the package being
// worked on, which for a download and install "increases from 0.0 to 0.8
// during the download of each package, and then it increases from 0.8 to
// 1.0 during the install phase" (StorePackageUpdateStatus fields).
struct Packages {
  size_t count;

  // The status of package `index` when all packages together are `total`
  // downloaded, in `state` once the download is over.
  store::StorePackageUpdateStatus At(double total, size_t index,
                                     store::StorePackageUpdateState state) const {
    double downloaded = std::clamp(total * count - index, 0.0, 1.0);
    bool done = downloaded >= 1.0;
    return {nullptr,
            kPackageBytes,
            static_cast<UINT64>(kPackageBytes * downloaded),
            kDownloadedShare * downloaded,
            total,
            done ? state : store::StorePackageUpdateState_Downloading};
  }
  // The package a report of `total` is about.
  size_t Current(double total) const {
    if (count == 0) return 0;
    return std::min(count - 1, static_cast<size_t>(total * count));
  }
  // The result's statuses: every package in the final state; a completed
  // install has installed each whole (progress 1.0, all bytes), any other
  // end leaves each as far as the last report got.
  std::vector<store::StorePackageUpdateStatus> Final(double total,
                                                     store::StorePackageUpdateState state) const {
    std::vector<store::StorePackageUpdateStatus> statuses;
    for (size_t i = 0; i < count; ++i) {
      if (state == store::StorePackageUpdateState_Completed) {
        statuses.push_back({nullptr, kPackageBytes, kPackageBytes, 1.0, 1.0, state});
      } else {
        statuses.push_back(At(total, i, state));
        statuses.back().PackageUpdateState = state;
      }
    }
    return statuses;
  }
};

// Reports held until the caller sets its progress handler and then made
// while its put_Progress waits ("store.progress_when=handler_set"): they
// arrive between the handler's attachment and the caller's next step.
struct ProgressGate {
  HANDLE handler_set = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~ProgressGate() {
    CloseHandle(handler_set);
    CloseHandle(reported);
  }
};
constexpr DWORD kGatePatienceMs = 10000;

// The script's progress values, in order.
std::vector<double> ProgressValues() {
  std::vector<double> values;
  std::istringstream list(state::ScriptValue("store.progress").value_or(""));
  std::string item;
  while (std::getline(list, item, ',')) {
    if (!item.empty()) values.push_back(std::stod(item));
  }
  return values;
}

// The updates an iterable holds, counted by reading them all.
HRESULT CountUpdates(IIterable<store::StorePackageUpdate*>* updates, size_t* count) {
  *count = 0;
  if (updates == nullptr) return E_INVALIDARG;
  Ref<IIterator<store::StorePackageUpdate*>> iterator;
  HRESULT code = updates->First(iterator.put());
  for (;;) {
    if (FAILED(code)) return code;
    store::IStorePackageUpdate* batch[8] = {};
    UINT32 read = 0;
    code = iterator->GetMany(8, batch, &read);
    for (UINT32 i = 0; i < read; ++i) batch[i]->Release();
    *count += read;
    if (SUCCEEDED(code) && read == 0) return S_OK;
  }
}

class Context final : public Object<store::IStoreContext, IInitializeWithWindow, IAgileObject> {
 public:
  // IInitializeWithWindow::Initialize: "Specifies the owner window to be
  // used by a WinRT object" ("Display WinRT UI objects that depend on
  // CoreWindow"): a desktop program gives its window before a request that
  // shows UI.
  HRESULT STDMETHODCALLTYPE Initialize(HWND window) override {
    state::Record("store.initialize window=" + WindowText(window));
    std::lock_guard lock(mutex_);
    window_ = window;
    return S_OK;
  }

  // StoreContext.GetAppAndOptionalStorePackageUpdatesAsync: "Gets the
  // collection of packages for the current app that have updates available
  // for download from the Microsoft Store"; it shows no UI.
  HRESULT STDMETHODCALLTYPE GetAppAndOptionalStorePackageUpdatesAsync(
      ABI::Windows::Foundation::IAsyncOperation<IVectorView<store::StorePackageUpdate*>*>**
          operation) override {
    if (operation == nullptr) return E_POINTER;
    *operation = nullptr;
    state::Record("store.list");
    HRESULT failure = state::Failure("store.list");
    if (FAILED(failure)) return failure;
    long long count = state::ScriptNumber("store.updates", 0);
    *operation = Start<ListOperation>("store.list", [count](ListOperation& list, HRESULT failure) {
                   if (FAILED(failure)) return list.Fail(failure);
                   std::vector<store::IStorePackageUpdate*> updates;
                   for (long long i = 0; i < count; ++i) {
                     updates.push_back(Make<PackageUpdate>().Detach());
                   }
                   list.Complete(Make<UpdateList>(std::move(updates)).Detach());
                 }).Detach();
    return S_OK;
  }

  // StoreContext.RequestDownloadAndInstallStorePackageUpdatesAsync: it
  // "displays a UI dialog that requests permission"; "if the ErrorCode
  // property of the exception has the value 0x80070578
  // (ERROR_INVALID_WINDOW_HANDLE)" a desktop program did not configure the
  // context with IInitializeWithWindow ("Configure StoreContext in a
  // desktop app"): the operation ends with that error. Progress: one
  // report per scripted total, each before completion, with the fields as
  // Packages gives them.
  HRESULT STDMETHODCALLTYPE RequestDownloadAndInstallStorePackageUpdatesAsync(
      IIterable<store::StorePackageUpdate*>* updates,
      ABI::Windows::Foundation::IAsyncOperationWithProgress<
          store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>** operation) override {
    if (operation == nullptr) return E_POINTER;
    *operation = nullptr;
    size_t count = 0;
    HRESULT code = CountUpdates(updates, &count);
    if (FAILED(code)) return code;
    bool initialized;
    {
      std::lock_guard lock(mutex_);
      initialized = window_ != nullptr;
    }
    state::Record("store.install initialized=" + std::string(initialized ? "1" : "0") +
                  " count=" + std::to_string(count));
    HRESULT failure = state::Failure("store.install");
    if (FAILED(failure)) return failure;
    std::vector<double> progress = ProgressValues();
    auto final_state = static_cast<store::StorePackageUpdateState>(
        state::ScriptNumber("store.state", store::StorePackageUpdateState_Completed));
    std::shared_ptr<ProgressGate> gate;
    if (state::ScriptValue("store.progress_when").value_or("") == "handler_set") {
      gate = std::make_shared<ProgressGate>();
    }
    Packages packages{count};
    Ref<InstallOperation> started = Start<InstallOperation>(
        "store.install", [initialized, progress, final_state, packages, gate](
                             InstallOperation& install, HRESULT failure) {
          if (!initialized) return install.Fail(kInvalidWindowHandle);
          if (gate) WaitForSingleObject(gate->handler_set, kGatePatienceMs);
          double total = 0.0;
          for (double value : progress) {
            total = value;
            store::StorePackageUpdateStatus status = packages.At(
                total, packages.Current(total), store::StorePackageUpdateState_Deploying);
            status.PackageFamilyName = MakeString(kFamilyName);
            install.Report(status);
            WindowsDeleteString(status.PackageFamilyName);
          }
          if (gate) SetEvent(gate->reported);
          if (FAILED(failure)) return install.Fail(failure);
          install.Complete(
              Make<UpdateResult>(final_state, packages.Final(total, final_state)).Detach());
        });
    if (gate) {
      started->OnProgressSet([gate] {
        SetEvent(gate->handler_set);
        WaitForSingleObject(gate->reported, kGatePatienceMs);
      });
    }
    *operation = started.Detach();
    return S_OK;
  }

  // The members nothing here calls.
  HRESULT STDMETHODCALLTYPE get_User(IInspectable** value) override { return NotHere(value); }
  HRESULT STDMETHODCALLTYPE add_OfflineLicensesChanged(IInspectable*,
                                                       EventRegistrationToken*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE remove_OfflineLicensesChanged(EventRegistrationToken) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCustomerPurchaseIdAsync(HSTRING, HSTRING,
                                                       IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetCustomerCollectionsIdAsync(HSTRING, HSTRING,
                                                          IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetAppLicenseAsync(IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetStoreProductForCurrentAppAsync(IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetStoreProductsAsync(IInspectable*, IInspectable*,
                                                  IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetAssociatedStoreProductsAsync(IInspectable*,
                                                            IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetAssociatedStoreProductsWithPagingAsync(
      IInspectable*, UINT32, IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetUserCollectionAsync(IInspectable*,
                                                   IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetUserCollectionWithPagingAsync(IInspectable*, UINT32,
                                                             IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE ReportConsumableFulfillmentAsync(HSTRING, UINT32, GUID,
                                                             IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE GetConsumableBalanceRemainingAsync(HSTRING,
                                                               IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE
  AcquireStoreLicenseForOptionalPackageAsync(IInspectable*, IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE RequestPurchaseAsync(HSTRING, IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE RequestPurchaseWithPurchasePropertiesAsync(
      HSTRING, IInspectable*, IInspectable** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE RequestDownloadStorePackageUpdatesAsync(
      IIterable<store::StorePackageUpdate*>*,
      ABI::Windows::Foundation::IAsyncOperationWithProgress<
          store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>** operation) override {
    return NotHere(operation);
  }
  HRESULT STDMETHODCALLTYPE RequestDownloadAndInstallStorePackagesAsync(
      IIterable<HSTRING>*,
      ABI::Windows::Foundation::IAsyncOperationWithProgress<
          store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>** operation) override {
    return NotHere(operation);
  }

 protected:
  const wchar_t* ClassName() const override { return L"Windows.Services.Store.StoreContext"; }

 private:
  template <class T>
  static HRESULT NotHere(T** out) {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

  std::mutex mutex_;
  HWND window_ = nullptr;
};

class ContextFactory final
    : public Factory<IActivationFactory, store::IStoreContextStatics, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance != nullptr) *instance = nullptr;
    return E_NOTIMPL;
  }

  // StoreContext.GetDefault: "Gets a StoreContext object that can be used
  // to access and manage store-related data for the current user".
  HRESULT STDMETHODCALLTYPE GetDefault(store::IStoreContext** value) override {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    HRESULT failure = state::Failure("store.get_default");
    if (FAILED(failure)) return failure;
    *value = Make<Context>().Detach();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetForUser(IInspectable*, store::IStoreContext** value) override {
    return GetDefault(value);
  }

 protected:
  const wchar_t* ClassName() const override { return L"Windows.Services.Store.StoreContext"; }
};

}  // namespace

IActivationFactory* StoreContextFactory() {
  static ContextFactory* factory = new ContextFactory();
  return factory;
}

}  // namespace quillmar::standin
