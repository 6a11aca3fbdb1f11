// Our completion handlers on a runtime operation of the test's own: the
// platform operation ends as the runtime's did, from the thread that ended
// it, and no reference outlives the completion.
#include <gtest/gtest.h>
#include <security_credentials_ui.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "platform/async_operation.h"
#include "platform/consent_verifier.h"
#include "platform/windows/winrt_support.h"

namespace quillmar {
namespace {

namespace ui = ABI::Windows::Security::Credentials::UI;
using ABI::Windows::Foundation::IAsyncOperation;
using ABI::Windows::Foundation::IAsyncOperationCompletedHandler;
using platform::AsyncOperation;
using platform::AsyncStatus;
using platform::PlatformError;
using platform::UserConsentVerifierAvailability;
using platform::windows::ComPtr;
using platform::windows::IidOf;

using AvailabilityOperation = IAsyncOperation<ui::UserConsentVerifierAvailability>;
using AvailabilityHandler = IAsyncOperationCompletedHandler<ui::UserConsentVerifierAvailability>;

// A runtime operation that ends when the test says so: it calls the handler
// once, then drops it, as the runtime does.
class ScriptedOperation final : public AvailabilityOperation {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IidOf<IUnknown>()) || IsEqualIID(iid, IidOf<IInspectable>()) ||
        IsEqualIID(iid, IidOf<AvailabilityOperation>())) {
      *object = static_cast<AvailabilityOperation*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE put_Completed(AvailabilityHandler* handler) override {
    if (refuse_handler_ != S_OK) return refuse_handler_;
    handler->AddRef();
    ::AsyncStatus ended;
    {
      std::lock_guard lock(mutex_);
      handler_ = handler;
      ended = status_;
    }
    // An operation that has already ended calls the handler at once.
    if (ended != ::AsyncStatus::Started) Notify();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Completed(AvailabilityHandler**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetResults(ui::UserConsentVerifierAvailability* results) override {
    std::lock_guard lock(mutex_);
    if (status_ == ::AsyncStatus::Error) return error_;
    if (status_ != ::AsyncStatus::Completed)
      return static_cast<HRESULT>(platform::kEIllegalMethodCall);
    *results = value_;
    return S_OK;
  }

  void RefuseHandler(HRESULT code) { refuse_handler_ = code; }

  // Ends the operation; the handler runs on the calling thread.
  void End(::AsyncStatus status, ui::UserConsentVerifierAvailability value, HRESULT error) {
    {
      std::lock_guard lock(mutex_);
      status_ = status;
      value_ = value;
      error_ = error;
    }
    Notify();
  }

  ULONG references() const { return references_; }

 private:
  void Notify() {
    AvailabilityHandler* handler = nullptr;
    ::AsyncStatus status;
    {
      std::lock_guard lock(mutex_);
      handler = std::exchange(handler_, nullptr);
      status = status_;
    }
    if (handler == nullptr) return;
    handler->Invoke(this, status);
    handler->Release();
  }

  std::atomic<ULONG> references_{1};  // the test's; the object lives on its stack
  std::mutex mutex_;
  AvailabilityHandler* handler_ = nullptr;
  ::AsyncStatus status_ = ::AsyncStatus::Started;
  ui::UserConsentVerifierAvailability value_ = ui::UserConsentVerifierAvailability_Available;
  HRESULT error_ = S_OK;
  HRESULT refuse_handler_ = S_OK;
};

// How the runtime's operation ends in a case, and how ours must end.
struct Ending {
  const char* name;
  ::AsyncStatus status;
  ui::UserConsentVerifierAvailability value;
  HRESULT error;
  bool before_registration;  // ended before the handler was registered
  AsyncStatus expected_status;
  UserConsentVerifierAvailability expected_value;
  HRESULT expected_error;
};

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.name; }

class CompletionTest : public ::testing::TestWithParam<Ending> {};

TEST_P(CompletionTest, EndsThePlatformOperationAsTheRuntimeOperationEnded) {
  const Ending& ending = GetParam();
  ScriptedOperation runtime_operation;
  ComPtr<AvailabilityOperation> held = ComPtr<AvailabilityOperation>::Attach(&runtime_operation);
  runtime_operation.AddRef();
  if (ending.before_registration) runtime_operation.End(ending.status, ending.value, ending.error);

  auto operation = std::make_shared<AsyncOperation<UserConsentVerifierAvailability>>();
  std::thread::id completed_on;
  AsyncStatus seen = AsyncStatus::kStarted;
  operation->SetCompleted([&](AsyncStatus status) {
    completed_on = std::this_thread::get_id();
    seen = status;
  });
  platform::windows::CompleteFrom<AvailabilityHandler, ui::UserConsentVerifierAvailability>(
      held, operation, [](ui::UserConsentVerifierAvailability value) {
        return static_cast<UserConsentVerifierAvailability>(value);
      });
  held.reset();

  std::thread::id ender = std::this_thread::get_id();
  if (!ending.before_registration) {
    std::thread runtime_thread([&] {
      ender = std::this_thread::get_id();
      runtime_operation.End(ending.status, ending.value, ending.error);
    });
    runtime_thread.join();
  }

  EXPECT_EQ(seen, ending.expected_status);
  EXPECT_EQ(completed_on, ender);
  if (ending.expected_status == AsyncStatus::kCompleted) {
    EXPECT_EQ(operation->GetResults(), ending.expected_value);
  } else {
    try {
      operation->GetResults();
      ADD_FAILURE() << "the operation has results";
    } catch (const PlatformError& error) {
      EXPECT_EQ(static_cast<uint32_t>(error.code()), static_cast<uint32_t>(ending.expected_error));
    }
  }
  // Only the test's own reference is left: the handler let go of the
  // operation, and the operation of the handler.
  EXPECT_EQ(runtime_operation.references(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, CompletionTest,
    ::testing::Values(
        Ending{"CompletedLater", ::AsyncStatus::Completed,
               ui::UserConsentVerifierAvailability_DeviceBusy, S_OK, false, AsyncStatus::kCompleted,
               UserConsentVerifierAvailability::kDeviceBusy, S_OK},
        Ending{"CompletedBeforeRegistration", ::AsyncStatus::Completed,
               ui::UserConsentVerifierAvailability_NotConfiguredForUser, S_OK, true,
               AsyncStatus::kCompleted, UserConsentVerifierAvailability::kNotConfiguredForUser,
               S_OK},
        Ending{"ValueOutsideTheEnumeration", ::AsyncStatus::Completed,
               static_cast<ui::UserConsentVerifierAvailability>(17), S_OK, false,
               AsyncStatus::kCompleted, static_cast<UserConsentVerifierAvailability>(17), S_OK},
        Ending{"FailedLater", ::AsyncStatus::Error, ui::UserConsentVerifierAvailability_Available,
               static_cast<HRESULT>(0x80090005), false, AsyncStatus::kError,
               UserConsentVerifierAvailability::kAvailable, static_cast<HRESULT>(0x80090005)},
        Ending{"FailedBeforeRegistration", ::AsyncStatus::Error,
               ui::UserConsentVerifierAvailability_Available, E_ACCESSDENIED, true,
               AsyncStatus::kError, UserConsentVerifierAvailability::kAvailable, E_ACCESSDENIED},
        Ending{"Canceled", ::AsyncStatus::Canceled, ui::UserConsentVerifierAvailability_Available,
               S_OK, false, AsyncStatus::kCanceled, UserConsentVerifierAvailability::kAvailable,
               static_cast<HRESULT>(0x800704C7)}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST(CompletionRegistrationTest, ARefusedHandlerFailsTheOperationAndKeepsNoReference) {
  ScriptedOperation runtime_operation;
  runtime_operation.RefuseHandler(static_cast<HRESULT>(platform::kEIllegalMethodCall));
  ComPtr<AvailabilityOperation> held = ComPtr<AvailabilityOperation>::Attach(&runtime_operation);
  runtime_operation.AddRef();
  auto operation = std::make_shared<AsyncOperation<UserConsentVerifierAvailability>>();
  platform::windows::CompleteFrom<AvailabilityHandler, ui::UserConsentVerifierAvailability>(
      held, operation, [](ui::UserConsentVerifierAvailability value) {
        return static_cast<UserConsentVerifierAvailability>(value);
      });
  held.reset();
  EXPECT_EQ(operation->Status(), AsyncStatus::kError);
  EXPECT_EQ(runtime_operation.references(), 1u);
}

TEST(AgileDelegateTest, IsAgileAndAnswersOnlyItsInterfaces) {
  ComPtr<AvailabilityHandler> handler =
      platform::windows::AgileDelegate<AvailabilityHandler, AvailabilityOperation*,
                                       ::AsyncStatus>::Create([](AvailabilityOperation*,
                                                                 ::AsyncStatus) { return S_OK; });
  ComPtr<IAgileObject> agile = handler.As<IAgileObject>();
  EXPECT_TRUE(agile);
  EXPECT_TRUE(handler.As<IUnknown>());
  EXPECT_FALSE(handler.As<IInspectable>());
  EXPECT_FALSE(handler.As<AvailabilityOperation>());
}

}  // namespace
}  // namespace quillmar
