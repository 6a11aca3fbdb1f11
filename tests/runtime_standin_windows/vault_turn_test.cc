// The Windows vault's turn between processes: a named mutex of the session
// that every Retrieve and Add of the library takes. Another holder, here a
// thread of the test standing in for another process, makes the library
// wait; a holder that ends without releasing it leaves it abandoned, which
// the library takes as its turn.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "channel/method_call.h"
#include "platform/fake/fake_system_version.h"
#include "platform/service_registry.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/runtime_standin_windows/standin/control.h"
#include "tests/support/recording_result.h"
#include "tests/support/windows_process.h"

namespace quillmar {
namespace {

using testing::MapArgs;
using testing::RecordedAnswer;

constexpr wchar_t kTurnName[] = L"Local\\QuillmarVaultTurn";

// Takes the turn on a thread of its own and keeps it until Release, or,
// with Abandon, ends that thread still holding it.
class TurnHolder {
 public:
  // The test keeps a handle of its own, so that the mutex outlives the
  // holding thread's handle and is found abandoned, not made anew.
  TurnHolder() : kept_(CreateMutexW(nullptr, FALSE, kTurnName)) {
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, taken] {
      HANDLE mutex = CreateMutexW(nullptr, FALSE, kTurnName);
      WaitForSingleObject(mutex, INFINITE);
      SetEvent(taken);
      if (WaitForSingleObject(release_, INFINITE) == WAIT_OBJECT_0 && !abandon_) {
        ReleaseMutex(mutex);
      }
      CloseHandle(mutex);
    });
    WaitForSingleObject(taken, INFINITE);
    CloseHandle(taken);
  }
  ~TurnHolder() {
    Release();
    CloseHandle(release_);
    CloseHandle(kept_);
  }

  void Release() {
    SetEvent(release_);
    if (thread_.joinable()) thread_.join();
  }
  // The holding thread ends without releasing: the mutex is abandoned.
  void Abandon() {
    abandon_ = true;
    Release();
  }

 private:
  HANDLE kept_;
  HANDLE release_ = nullptr;
  bool abandon_ = false;
  std::thread thread_;
};

class VaultTurnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dll = testing::ThisProgramFolder() + "\\quillmar_runtime_standin.dll";
    standin::Register(std::wstring(dll.begin(), dll.end()));
    standin::Reset();
  }
  void TearDown() override { standin::SwitchOff(); }

  // Dispatches on a thread of the multithreaded apartment, as a pool
  // thread would, and returns the log its answers go to.
  std::shared_ptr<testing::AnswerLog> Start(const char* method, EncodableValue arguments) {
    auto [log, result] = testing::MakeRecordingResult();
    std::thread([method, arguments = std::move(arguments), result = std::move(result)]() mutable {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      QuillmarCoreWindows plugin;
      MethodCall call(method, std::make_unique<EncodableValue>(std::move(arguments)));
      plugin.DispatchMethodCall(call, std::move(result));
      CoUninitialize();
    }).detach();
    return log;
  }

 private:
  platform::fake::FakeSystemVersion version_{true};
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
};

EncodableValue ReadArguments() { return MapArgs({{"itemKey", EncodableValue("k")}}); }

EncodableValue FoundReply(const char* value) {
  return MapArgs({{"error", EncodableValue()},
                  {"itemValue", EncodableValue(value)},
                  {"success", EncodableValue(true)}});
}

TEST_F(VaultTurnTest, ReadWaitsWhileAnotherHoldsTheTurn) {
  standin::PutVaultEntry({"Quillmar", "k", "v"});
  TurnHolder holder;
  std::shared_ptr<testing::AnswerLog> log = Start("getKeychainItem", ReadArguments());
  EXPECT_FALSE(log->WaitFor(1, 0.3));
  holder.Release();
  ASSERT_TRUE(log->WaitFor(1));
  EXPECT_EQ(log->answers()[0].value, FoundReply("v"));
}

TEST_F(VaultTurnTest, WriteWaitsWhileAnotherHoldsTheTurn) {
  TurnHolder holder;
  std::shared_ptr<testing::AnswerLog> log =
      Start("upsertKeychainItem",
            MapArgs({{"itemKey", EncodableValue("k")}, {"itemValue", EncodableValue("new")}}));
  EXPECT_FALSE(log->WaitFor(1, 0.3));
  EXPECT_TRUE(standin::VaultEntries().empty());
  holder.Release();
  ASSERT_TRUE(log->WaitFor(1));
  EXPECT_EQ(log->answers()[0].value,
            MapArgs({{"error", EncodableValue()}, {"status", EncodableValue("ok")}}));
  EXPECT_EQ(standin::VaultEntries(), (std::vector<standin::VaultEntry>{{"Quillmar", "k", "new"}}));
}

TEST_F(VaultTurnTest, AbandonedTurnIsTaken) {
  standin::PutVaultEntry({"Quillmar", "k", "v"});
  TurnHolder holder;
  holder.Abandon();
  std::shared_ptr<testing::AnswerLog> log = Start("getKeychainItem", ReadArguments());
  ASSERT_TRUE(log->WaitFor(1));
  EXPECT_EQ(log->answers()[0].value, FoundReply("v"));
  // And it was given back: the next call is not kept waiting.
  std::shared_ptr<testing::AnswerLog> next = Start("getKeychainItem", ReadArguments());
  ASSERT_TRUE(next->WaitFor(1));
  EXPECT_EQ(next->answers()[0].value, FoundReply("v"));
}

}  // namespace
}  // namespace quillmar
