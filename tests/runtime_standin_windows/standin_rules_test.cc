// The stand-in runtime's own rules, reached as the library reaches it:
// registered in the prefix and activated by class name. What the rules
// promise is what the platform documents, so a test here that fails means
// the tests over the stand-in would check the library against the wrong
// platform.
#include <application_model_core.h>
#include <gtest/gtest.h>
#include <roapi.h>
#include <security_credentials.h>
#include <security_credentials_ui.h>
#include <services_store.h>
#include <system_profile.h>
#include <window_interop.h>
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/runtime_standin_windows/standin/control.h"

namespace quillmar::standin {
namespace {

namespace credentials = ABI::Windows::Security::Credentials;
namespace ui = ABI::Windows::Security::Credentials::UI;
namespace store = ABI::Windows::Services::Store;
namespace profile = ABI::Windows::System::Profile;
using ABI::Windows::Foundation::IAsyncOperation;
using ABI::Windows::Foundation::IAsyncOperationCompletedHandler;
using ABI::Windows::Foundation::IAsyncOperationProgressHandler;
using ABI::Windows::Foundation::IAsyncOperationWithProgress;
using ABI::Windows::Foundation::IAsyncOperationWithProgressCompletedHandler;
using ABI::Windows::Foundation::Collections::IIterable;
using ABI::Windows::Foundation::Collections::IVectorView;

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);
constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000E);
constexpr HRESULT kIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);
constexpr HRESULT kIllegalStateChange = static_cast<HRESULT>(0x8000000D);
constexpr HRESULT kInvalidWindowHandle = static_cast<HRESULT>(0x80070578);
constexpr char kChildVariable[] = "QUILLMAR_STANDIN_CHILD";

// An owning pointer for the test's side.
template <class T>
struct Owned {
  T* pointer = nullptr;
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }
  T** put() {
    reset();
    return &pointer;
  }
  T* operator->() const { return pointer; }
  T* get() const { return pointer; }
  void reset() {
    if (pointer != nullptr) std::exchange(pointer, nullptr)->Release();
  }
};

class String {
 public:
  explicit String(const wchar_t* text) {
    WindowsCreateString(text, static_cast<UINT32>(wcslen(text)), &string_);
  }
  String(const String&) = delete;
  String& operator=(const String&) = delete;
  ~String() { WindowsDeleteString(string_); }
  HSTRING get() const { return string_; }

 private:
  HSTRING string_ = nullptr;
};

std::wstring TextOf(HSTRING string) {
  UINT32 length = 0;
  const wchar_t* units = WindowsGetStringRawBuffer(string, &length);
  std::wstring text(units, length);
  WindowsDeleteString(string);
  return text;
}

// A delegate of the test's: each call goes to `invoke`.
template <class Delegate, class... Arguments>
class Handler final : public Delegate {
 public:
  explicit Handler(std::function<void(Arguments...)> invoke) : invoke_(std::move(invoke)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(Delegate)) ||
        IsEqualIID(iid, __uuidof(IAgileObject))) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Invoke(Arguments... arguments) override {
    invoke_(arguments...);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
  std::function<void(Arguments...)> invoke_;
};

using AvailabilityOperation = IAsyncOperation<ui::UserConsentVerifierAvailability>;
using AvailabilityHandler =
    Handler<IAsyncOperationCompletedHandler<ui::UserConsentVerifierAvailability>,
            AvailabilityOperation*, AsyncStatus>;
using InstallOperation =
    IAsyncOperationWithProgress<store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>;
using InstallCompleted =
    Handler<IAsyncOperationWithProgressCompletedHandler<store::StorePackageUpdateResult*,
                                                        store::StorePackageUpdateStatus>,
            InstallOperation*, AsyncStatus>;
using InstallProgress = Handler<IAsyncOperationProgressHandler<store::StorePackageUpdateResult*,
                                                               store::StorePackageUpdateStatus>,
                                InstallOperation*, store::StorePackageUpdateStatus>;
using UpdateList = IVectorView<store::StorePackageUpdate*>;

// What a completed handler saw, filled on whatever thread it ran.
struct Seen {
  std::mutex mutex;
  std::vector<std::string> events;
  DWORD thread = 0;
  AsyncStatus status = AsyncStatus::Started;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Seen() { CloseHandle(done); }

  void Add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  void End(AsyncStatus ended) {
    {
      std::lock_guard lock(mutex);
      thread = GetCurrentThreadId();
      status = ended;
      events.push_back("completed");
    }
    SetEvent(done);
  }
  bool Wait() { return WaitForSingleObject(done, 10000) == WAIT_OBJECT_0; }
};

template <class Interface>
HRESULT Factory(const wchar_t* class_name, Interface** factory) {
  String name(class_name);
  return RoGetActivationFactory(name.get(), __uuidof(Interface), reinterpret_cast<void**>(factory));
}

// The stand-in switched on, empty, for each test; each test ends with none
// of its objects left alive.
class StandInTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RoInitialize(RO_INIT_MULTITHREADED);
    Register(DllBesideProgram());
  }

  // A second process of a test shares the first one's state.
  static bool InChild() { return GetEnvironmentVariableA(kChildVariable, nullptr, 0) > 0; }

  void SetUp() override {
    if (!InChild()) Reset();
  }

  void TearDown() override {
    long live = LiveObjects();
    for (int i = 0; i < 300 && live != 0; ++i) {
      Sleep(10);
      live = LiveObjects();
    }
    EXPECT_EQ(live, 0) << "stand-in objects left alive";
    if (!InChild()) SwitchOff();
  }

  void CheckAvailability(Owned<AvailabilityOperation>* operation) {
    Owned<ui::IUserConsentVerifierStatics> statics;
    ASSERT_EQ(
        Factory(RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier, statics.put()),
        S_OK);
    ASSERT_EQ(statics->CheckAvailabilityAsync(operation->put()), S_OK);
  }

  static AsyncStatus StatusOf(AvailabilityOperation* operation) {
    Owned<IAsyncInfo> info;
    operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(info.put()));
    AsyncStatus status = AsyncStatus::Error;
    info->get_Status(&status);
    return status;
  }

  static void WaitUntilEnded(AvailabilityOperation* operation) {
    for (int i = 0; i < 1000 && StatusOf(operation) == AsyncStatus::Started; ++i) Sleep(5);
  }
};

// Operations: IAsyncOperation, IAsyncInfo and the completed handler.
using OperationRules = StandInTest;

TEST_F(OperationRules, CompletesOnTheStandInsThreadWithTheScriptedResult) {
  Set("consent.availability", "3");
  Set("delay_ms", "50");
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  Seen seen;
  auto* handler = new AvailabilityHandler(
      [&seen](AvailabilityOperation*, AsyncStatus status) { seen.End(status); });
  ASSERT_EQ(operation->put_Completed(handler), S_OK);
  handler->Release();
  ASSERT_TRUE(seen.Wait());

  EXPECT_NE(seen.thread, GetCurrentThreadId());
  EXPECT_EQ(seen.status, AsyncStatus::Completed);
  ui::UserConsentVerifierAvailability availability{};
  EXPECT_EQ(operation->GetResults(&availability), S_OK);
  EXPECT_EQ(availability, ui::UserConsentVerifierAvailability_DisabledByPolicy);
  EXPECT_EQ(Recorded(), std::vector<std::string>{"consent.check"});
}

TEST_F(OperationRules, ResultsBeforeCompletionAreAnIllegalMethodCall) {
  Set("delay_ms", "300");
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  ui::UserConsentVerifierAvailability availability{};

  EXPECT_EQ(operation->GetResults(&availability), kIllegalMethodCall);
  Owned<IAsyncInfo> info;
  operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(info.put()));
  EXPECT_EQ(info->Close(), kIllegalStateChange);
  WaitUntilEnded(operation.get());
  EXPECT_EQ(operation->GetResults(&availability), S_OK);
  EXPECT_EQ(info->Close(), S_OK);
}

TEST_F(OperationRules, ASecondCompletedHandlerIsRefused) {
  Set("delay_ms", "100");
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  Seen first;
  Seen second;
  auto* one = new AvailabilityHandler(
      [&first](AvailabilityOperation*, AsyncStatus status) { first.End(status); });
  auto* other = new AvailabilityHandler(
      [&second](AvailabilityOperation*, AsyncStatus status) { second.End(status); });

  EXPECT_EQ(operation->put_Completed(one), S_OK);
  EXPECT_EQ(operation->put_Completed(other), kIllegalDelegateAssignment);
  one->Release();
  other->Release();
  ASSERT_TRUE(first.Wait());
  Sleep(50);
  EXPECT_EQ(WaitForSingleObject(second.done, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(OperationRules, AfterCloseEveryOtherMemberIsAnIllegalMethodCall) {
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  WaitUntilEnded(operation.get());
  Owned<IAsyncInfo> info;
  operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(info.put()));
  ASSERT_EQ(info->Close(), S_OK);

  ui::UserConsentVerifierAvailability availability{};
  UINT32 id = 0;
  AsyncStatus status{};
  HRESULT code = S_OK;
  Owned<IAsyncOperationCompletedHandler<ui::UserConsentVerifierAvailability>> handler;
  EXPECT_EQ(operation->GetResults(&availability), kIllegalMethodCall);
  EXPECT_EQ(operation->get_Completed(handler.put()), kIllegalMethodCall);
  EXPECT_EQ(operation->put_Completed(nullptr), kIllegalMethodCall);
  EXPECT_EQ(info->get_Id(&id), kIllegalMethodCall);
  EXPECT_EQ(info->get_Status(&status), kIllegalMethodCall);
  EXPECT_EQ(info->get_ErrorCode(&code), kIllegalMethodCall);
  EXPECT_EQ(info->Cancel(), kIllegalMethodCall);
  EXPECT_EQ(info->Close(), S_OK);
}

TEST_F(OperationRules, AHandlerSetAfterCompletionRunsAtOnceOnTheSettingThread) {
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  WaitUntilEnded(operation.get());
  Seen seen;
  auto* handler = new AvailabilityHandler(
      [&seen](AvailabilityOperation*, AsyncStatus status) { seen.End(status); });

  ASSERT_EQ(operation->put_Completed(handler), S_OK);
  handler->Release();

  EXPECT_EQ(WaitForSingleObject(seen.done, 0), WAIT_OBJECT_0);
  EXPECT_EQ(seen.thread, GetCurrentThreadId());
  EXPECT_EQ(seen.status, AsyncStatus::Completed);
}

TEST_F(OperationRules, AScriptedOperationFailureEndsWithErrorAndItsCode) {
  Set("fail.consent.check.operation", "0x80070005");
  Owned<AvailabilityOperation> operation;
  CheckAvailability(&operation);
  Seen seen;
  auto* handler = new AvailabilityHandler(
      [&seen](AvailabilityOperation*, AsyncStatus status) { seen.End(status); });
  ASSERT_EQ(operation->put_Completed(handler), S_OK);
  handler->Release();
  ASSERT_TRUE(seen.Wait());

  EXPECT_EQ(seen.status, AsyncStatus::Error);
  ui::UserConsentVerifierAvailability availability{};
  EXPECT_EQ(operation->GetResults(&availability), E_ACCESSDENIED);
  Owned<IAsyncInfo> info;
  operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(info.put()));
  HRESULT code = S_OK;
  info->get_ErrorCode(&code);
  EXPECT_EQ(code, E_ACCESSDENIED);
}

// The Store's install: progress and the desktop program's window.
class StoreRules : public StandInTest {
 protected:
  void SetUp() override {
    StandInTest::SetUp();
    Owned<store::IStoreContextStatics> statics;
    ASSERT_EQ(Factory(RuntimeClass_Windows_Services_Store_StoreContext, statics.put()), S_OK);
    ASSERT_EQ(statics->GetDefault(context_.put()), S_OK);
  }
  void TearDown() override {
    context_.reset();
    StandInTest::TearDown();
  }

  void List(Owned<UpdateList>* updates) {
    Owned<IAsyncOperation<UpdateList*>> listing;
    ASSERT_EQ(context_->GetAppAndOptionalStorePackageUpdatesAsync(listing.put()), S_OK);
    HRESULT code = kIllegalMethodCall;
    for (int i = 0; i < 1000 && code == kIllegalMethodCall; ++i) {
      code = listing->GetResults(updates->put());
      if (code == kIllegalMethodCall) Sleep(5);
    }
    ASSERT_EQ(code, S_OK);
  }

  // Installs what the context lists; `seen` gets "progress P" per report,
  // then "completed".
  void Install(Seen* seen, Owned<InstallOperation>* install) {
    Owned<UpdateList> updates;
    List(&updates);
    Owned<IIterable<store::StorePackageUpdate*>> iterable;
    ASSERT_EQ(updates->QueryInterface(__uuidof(IIterable<store::StorePackageUpdate*>),
                                      reinterpret_cast<void**>(iterable.put())),
              S_OK);
    ASSERT_EQ(
        context_->RequestDownloadAndInstallStorePackageUpdatesAsync(iterable.get(), install->put()),
        S_OK);
    auto* progress =
        new InstallProgress([seen](InstallOperation*, store::StorePackageUpdateStatus status) {
          seen->Add("progress " + std::to_string(status.TotalDownloadProgress).substr(0, 3) +
                    " package " + std::to_string(status.PackageDownloadProgress).substr(0, 4) +
                    " state " + std::to_string(status.PackageUpdateState));
        });
    auto* completed =
        new InstallCompleted([seen](InstallOperation*, AsyncStatus status) { seen->End(status); });
    EXPECT_EQ((*install)->put_Progress(progress), S_OK);
    EXPECT_EQ((*install)->put_Completed(completed), S_OK);
    progress->Release();
    completed->Release();
    ASSERT_TRUE(seen->Wait());
  }

  Owned<store::IStoreContext> context_;
};

TEST_F(StoreRules, ProgressReportsArriveInOrderBeforeCompletion) {
  Set("store.updates", "2");
  Set("store.progress", "0.1,0.5,0.9,1.0");
  Set("delay_ms", "20");
  Owned<IInitializeWithWindow> initialize;
  ASSERT_EQ(context_->QueryInterface(__uuidof(IInitializeWithWindow),
                                     reinterpret_cast<void**>(initialize.put())),
            S_OK);
  ASSERT_EQ(initialize->Initialize(reinterpret_cast<HWND>(0x1234)), S_OK);
  Seen seen;
  Owned<InstallOperation> install;
  Install(&seen, &install);

  // Two packages, one after the other, 0 to 0.8 of each over its download.
  EXPECT_EQ(
      seen.events,
      (std::vector<std::string>{
          "progress 0.1 package 0.16 state 1", "progress 0.5 package 0.00 state 1",
          "progress 0.9 package 0.64 state 1", "progress 1.0 package 0.80 state 2", "completed"}));
  EXPECT_EQ(seen.status, AsyncStatus::Completed);
  EXPECT_NE(seen.thread, GetCurrentThreadId());
  Owned<store::IStorePackageUpdateResult> result;
  ASSERT_EQ(install->GetResults(result.put()), S_OK);
  store::StorePackageUpdateState state{};
  EXPECT_EQ(result->get_OverallState(&state), S_OK);
  EXPECT_EQ(state, store::StorePackageUpdateState_Completed);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"store.initialize window=1234", "store.list",
                                                  "store.install initialized=1 count=2"}));
}

TEST_F(StoreRules, AnInstallWithoutTheProgramsWindowFailsAsInvalidWindowHandle) {
  Set("store.updates", "1");
  Set("store.progress", "0.5");
  Seen seen;
  Owned<InstallOperation> install;
  Install(&seen, &install);

  EXPECT_EQ(seen.events, std::vector<std::string>{"completed"});
  EXPECT_EQ(seen.status, AsyncStatus::Error);
  Owned<store::IStorePackageUpdateResult> result;
  EXPECT_EQ(install->GetResults(result.put()), kInvalidWindowHandle);
  EXPECT_EQ(Recorded(),
            (std::vector<std::string>{"store.list", "store.install initialized=0 count=1"}));
}

// The vault.
class VaultRules : public StandInTest {
 protected:
  void SetUp() override {
    StandInTest::SetUp();
    Owned<IActivationFactory> vaults;
    ASSERT_EQ(Factory(RuntimeClass_Windows_Security_Credentials_PasswordVault, vaults.put()), S_OK);
    Owned<IInspectable> instance;
    ASSERT_EQ(vaults->ActivateInstance(instance.put()), S_OK);
    ASSERT_EQ(instance->QueryInterface(__uuidof(credentials::IPasswordVault),
                                       reinterpret_cast<void**>(vault_.put())),
              S_OK);
    ASSERT_EQ(
        Factory(RuntimeClass_Windows_Security_Credentials_PasswordCredential, credentials_.put()),
        S_OK);
  }
  void TearDown() override {
    vault_.reset();
    credentials_.reset();
    StandInTest::TearDown();
  }

  HRESULT Add(const wchar_t* resource, const wchar_t* user_name, const wchar_t* password) {
    String r(resource);
    String u(user_name);
    String p(password);
    Owned<credentials::IPasswordCredential> credential;
    HRESULT code =
        credentials_->CreatePasswordCredential(r.get(), u.get(), p.get(), credential.put());
    return FAILED(code) ? code : vault_->Add(credential.get());
  }

  HRESULT Retrieve(const wchar_t* resource, const wchar_t* user_name,
                   Owned<credentials::IPasswordCredential>* credential) {
    String r(resource);
    String u(user_name);
    return vault_->Retrieve(r.get(), u.get(), credential->put());
  }

  Owned<credentials::IPasswordVault> vault_;
  Owned<credentials::ICredentialFactory> credentials_;
};

TEST_F(VaultRules, MissingEntriesAreElementNotFound) {
  ASSERT_EQ(Add(L"other", L"user", L"secret"), S_OK);
  Owned<credentials::IPasswordCredential> credential;
  EXPECT_EQ(Retrieve(L"resource", L"user", &credential), kNotFound);
  String r(L"resource");
  String u(L"user");
  String p(L"secret");
  Owned<credentials::IPasswordCredential> absent;
  ASSERT_EQ(credentials_->CreatePasswordCredential(r.get(), u.get(), p.get(), absent.put()), S_OK);
  EXPECT_EQ(vault_->Remove(absent.get()), kNotFound);
  Owned<IVectorView<credentials::PasswordCredential*>> found;
  EXPECT_EQ(vault_->FindAllByResource(r.get(), found.put()), kNotFound);
  EXPECT_EQ(VaultEntries(), (std::vector<VaultEntry>{{"other", "user", "secret"}}));
}

TEST_F(VaultRules, AddReplacesTheEntryOfTheSameResourceAndUserName) {
  ASSERT_EQ(Add(L"resource", L"user", L"first"), S_OK);
  ASSERT_EQ(Add(L"resource", L"another", L"kept"), S_OK);
  ASSERT_EQ(Add(L"resource", L"user", L"second\nline"), S_OK);

  EXPECT_EQ(VaultEntries(), (std::vector<VaultEntry>{{"resource", "another", "kept"},
                                                     {"resource", "user", "second\nline"}}));
  Owned<credentials::IPasswordCredential> credential;
  ASSERT_EQ(Retrieve(L"resource", L"user", &credential), S_OK);
  HSTRING password = nullptr;
  ASSERT_EQ(credential->get_Password(&password), S_OK);
  EXPECT_EQ(TextOf(password), L"") << "blank until RetrievePassword";
  ASSERT_EQ(credential->RetrievePassword(), S_OK);
  ASSERT_EQ(credential->get_Password(&password), S_OK);
  EXPECT_EQ(TextOf(password), L"second\nline");
}

TEST_F(VaultRules, FindersListEntriesWithoutPasswords) {
  PutVaultEntry({"resource", "one", "1"});
  PutVaultEntry({"resource", "two", "2"});
  PutVaultEntry({"elsewhere", "one", "3"});
  String r(L"resource");
  Owned<IVectorView<credentials::PasswordCredential*>> found;
  ASSERT_EQ(vault_->FindAllByResource(r.get(), found.put()), S_OK);

  UINT32 size = 0;
  found->get_Size(&size);
  std::vector<std::wstring> seen;
  for (UINT32 i = 0; i < size; ++i) {
    Owned<credentials::IPasswordCredential> credential;
    ASSERT_EQ(found->GetAt(i, credential.put()), S_OK);
    HSTRING user = nullptr;
    HSTRING password = nullptr;
    credential->get_UserName(&user);
    credential->get_Password(&password);
    seen.push_back(TextOf(user) + L":" + TextOf(password));
  }
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"one:", L"two:"}));
}

TEST_F(VaultRules, RetrievePasswordOfAnEntryRemovedSinceIsElementNotFound) {
  ASSERT_EQ(Add(L"resource", L"user", L"secret"), S_OK);
  Owned<credentials::IPasswordCredential> credential;
  ASSERT_EQ(Retrieve(L"resource", L"user", &credential), S_OK);
  ASSERT_EQ(vault_->Remove(credential.get()), S_OK);

  EXPECT_EQ(credential->RetrievePassword(), kNotFound);
  EXPECT_EQ(VaultEntries(), std::vector<VaultEntry>{});
}

// Run only as the second process of the test below.
TEST_F(VaultRules, DISABLED_SecondProcessReplacesAndRemoves) {
  Owned<credentials::IPasswordCredential> credential;
  ASSERT_EQ(Retrieve(L"shared", L"first", &credential), S_OK);
  ASSERT_EQ(vault_->Remove(credential.get()), S_OK);
  ASSERT_EQ(Add(L"shared", L"second", L"from the child"), S_OK);
}

TEST_F(VaultRules, TwoProcessesShareTheVault) {
  ASSERT_EQ(Add(L"shared", L"first", L"from the parent"), S_OK);
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring command = std::wstring(L"\"") + program +
                         L"\" --gtest_also_run_disabled_tests "
                         L"--gtest_filter=VaultRules.DISABLED_SecondProcessReplacesAndRemoves";
  SetEnvironmentVariableA(kChildVariable, "1");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  SetEnvironmentVariableA(kChildVariable, nullptr);
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(VaultEntries(), (std::vector<VaultEntry>{{"shared", "second", "from the child"}}));
  Owned<credentials::IPasswordCredential> credential;
  EXPECT_EQ(Retrieve(L"shared", L"first", &credential), kNotFound);
}

// What the stand-in was asked, as the record keeps it.
class RecordRules : public StandInTest {
 protected:
  template <class Interface>
  void Get(const wchar_t* class_name, Owned<Interface>* factory) {
    ASSERT_EQ(Factory(class_name, factory->put()), S_OK);
  }
};

TEST_F(RecordRules, PromptsAndRestartArgumentsAreKeptAsGiven) {
  Set("fail.consent.request", "0x80004005");
  Owned<ui::IUserConsentVerifierStatics> statics;
  Get(RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier, &statics);
  Owned<IUserConsentVerifierInterop> interop;
  Get(RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier, &interop);
  Owned<ABI::Windows::ApplicationModel::Core::ICoreApplication3> application;
  Get(RuntimeClass_Windows_ApplicationModel_Core_CoreApplication, &application);
  String plain(L"Unlock \\ the \"vault\"\nnow");
  String parented(L"Unlock \u00e9");
  String arguments(L"--after-update");

  Owned<IAsyncOperation<ui::UserConsentVerificationResult>> verification;
  EXPECT_EQ(statics->RequestVerificationAsync(plain.get(), verification.put()), E_FAIL);
  Owned<IAsyncOperation<ui::UserConsentVerificationResult>> for_window;
  EXPECT_EQ(interop->RequestVerificationForWindowAsync(
                reinterpret_cast<HWND>(0xabc), parented.get(),
                __uuidof(IAsyncOperation<ui::UserConsentVerificationResult>),
                reinterpret_cast<void**>(for_window.put())),
            E_FAIL);
  Set("restart.reason", "0");  // one that went through would end this process
  Owned<IAsyncOperation<ABI::Windows::ApplicationModel::Core::AppRestartFailureReason>> restart;
  EXPECT_EQ(application->RequestRestartAsync(arguments.get(), restart.put()), S_OK);

  EXPECT_EQ(Recorded(), (std::vector<std::string>{
                            "consent.request prompt=Unlock \\ the \"vault\"\nnow",
                            "consent.request_for_window window=abc prompt=Unlock \xc3\xa9",
                            "restart arguments=--after-update"}));
}

TEST_F(RecordRules, TheInteropHandsTheOperationAsTheInterfaceAsked) {
  Set("consent.result", "6");
  Owned<IUserConsentVerifierInterop> interop;
  Get(RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier, &interop);
  String prompt(L"Unlock");
  Owned<IAsyncInfo> info;
  ASSERT_EQ(interop->RequestVerificationForWindowAsync(nullptr, prompt.get(), __uuidof(IAsyncInfo),
                                                       reinterpret_cast<void**>(info.put())),
            S_OK);
  Owned<IUnknown> wrong;
  EXPECT_EQ(interop->RequestVerificationForWindowAsync(nullptr, prompt.get(),
                                                       __uuidof(IInitializeWithWindow),
                                                       reinterpret_cast<void**>(wrong.put())),
            E_NOINTERFACE);
  EXPECT_EQ(wrong.get(), nullptr);
  EXPECT_EQ(Recorded(),
            (std::vector<std::string>{"consent.request_for_window window=0 prompt=Unlock",
                                      "consent.request_for_window window=0 prompt=Unlock"}));
}

// The device family: the script's, "Windows.Desktop" when it names none.
struct FamilyCase {
  const char* name;
  const char* scripted;  // null: not set
  const wchar_t* family;
};

class DeviceFamily : public StandInTest, public testing::WithParamInterface<FamilyCase> {};

TEST_P(DeviceFamily, IsTheScriptedOne) {
  if (GetParam().scripted != nullptr) Set("device.family", GetParam().scripted);
  Owned<profile::IAnalyticsInfoStatics> statics;
  ASSERT_EQ(Factory(RuntimeClass_Windows_System_Profile_AnalyticsInfo, statics.put()), S_OK);
  Owned<profile::IAnalyticsVersionInfo> info;
  ASSERT_EQ(statics->get_VersionInfo(info.put()), S_OK);
  HSTRING family = nullptr;
  ASSERT_EQ(info->get_DeviceFamily(&family), S_OK);
  EXPECT_EQ(TextOf(family), GetParam().family);
}

INSTANTIATE_TEST_SUITE_P(Scripted, DeviceFamily,
                         testing::Values(FamilyCase{"Unscripted", nullptr, L"Windows.Desktop"},
                                         FamilyCase{"Mobile", "Windows.Mobile", L"Windows.Mobile"},
                                         FamilyCase{"Other", "Windows.Xbox", L"Windows.Xbox"}),
                         [](const testing::TestParamInfo<FamilyCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(StandInTest, ScriptedStepFailuresAnswerTheirCode) {
  Set("fail.analytics.version_info", "0x80070005");
  Set("fail.store.statics", "0x80040154");
  Owned<profile::IAnalyticsInfoStatics> statics;
  ASSERT_EQ(Factory(RuntimeClass_Windows_System_Profile_AnalyticsInfo, statics.put()), S_OK);
  Owned<profile::IAnalyticsVersionInfo> info;
  EXPECT_EQ(statics->get_VersionInfo(info.put()), E_ACCESSDENIED);
  EXPECT_EQ(info.get(), nullptr);
  Owned<store::IStoreContextStatics> store_statics;
  EXPECT_EQ(Factory(RuntimeClass_Windows_Services_Store_StoreContext, store_statics.put()),
            REGDB_E_CLASSNOTREG);
}

// Activation: on while a script exists, each class with the interface the
// library asks for; off otherwise, as on a system without the classes.
struct ClassCase {
  const char* name;
  const wchar_t* class_name;
  IID iid;
};

class Activation : public StandInTest, public testing::WithParamInterface<ClassCase> {};

TEST_P(Activation, GivesTheFactoryWhileSwitchedOn) {
  Owned<IUnknown> factory;
  EXPECT_EQ(RoGetActivationFactory(String(GetParam().class_name).get(), GetParam().iid,
                                   reinterpret_cast<void**>(factory.put())),
            S_OK);
}

TEST_P(Activation, IsNotRegisteredWhileSwitchedOff) {
  SwitchOff();
  Owned<IUnknown> factory;
  EXPECT_EQ(RoGetActivationFactory(String(GetParam().class_name).get(), GetParam().iid,
                                   reinterpret_cast<void**>(factory.put())),
            REGDB_E_CLASSNOTREG);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, Activation,
    testing::Values(ClassCase{"PasswordVault",
                              RuntimeClass_Windows_Security_Credentials_PasswordVault,
                              __uuidof(IActivationFactory)},
                    ClassCase{"PasswordCredential",
                              RuntimeClass_Windows_Security_Credentials_PasswordCredential,
                              __uuidof(credentials::ICredentialFactory)},
                    ClassCase{"UserConsentVerifier",
                              RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier,
                              __uuidof(ui::IUserConsentVerifierStatics)},
                    ClassCase{"UserConsentVerifierInterop",
                              RuntimeClass_Windows_Security_Credentials_UI_UserConsentVerifier,
                              __uuidof(IUserConsentVerifierInterop)},
                    ClassCase{"AnalyticsInfo", RuntimeClass_Windows_System_Profile_AnalyticsInfo,
                              __uuidof(profile::IAnalyticsInfoStatics)},
                    ClassCase{"StoreContext", RuntimeClass_Windows_Services_Store_StoreContext,
                              __uuidof(store::IStoreContextStatics)},
                    ClassCase{"CoreApplication",
                              RuntimeClass_Windows_ApplicationModel_Core_CoreApplication,
                              __uuidof(ABI::Windows::ApplicationModel::Core::ICoreApplication3)}),
    [](const testing::TestParamInfo<ClassCase>& info) { return std::string(info.param.name); });

TEST_F(StandInTest, LiveObjectsCountWhatTheCallerHolds) {
  Owned<IActivationFactory> vaults;
  ASSERT_EQ(Factory(RuntimeClass_Windows_Security_Credentials_PasswordVault, vaults.put()), S_OK);
  Owned<IInspectable> vault;
  ASSERT_EQ(vaults->ActivateInstance(vault.put()), S_OK);
  EXPECT_EQ(LiveObjects(), 1);
  vault.reset();
  EXPECT_EQ(LiveObjects(), 0);
}

}  // namespace
}  // namespace quillmar::standin
