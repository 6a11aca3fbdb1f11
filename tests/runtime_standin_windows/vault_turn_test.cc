// The Windows vault's turn between processes: a named mutex of the session
// that every Retrieve and Add of the library takes, waiting at most
// VaultTurnWait's limit. Another process holding it makes the library wait
// and, past the limit, answer that another process holds the vault; a
// holder that dies leaves it abandoned, which the library takes as its turn.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "channel/method_call.h"
#include "platform/fake/fake_system_version.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/runtime_standin_windows/standin/control.h"
#include "tests/support/recording_result.h"
#include "tests/support/windows_process.h"

namespace quillmar {
namespace {

using testing::MapArgs;

// vault_turn_holder.exe holding the turn until released or killed.
class HolderProcess {
 public:
  HolderProcess() {
    ResetEvent(taken_);
    ResetEvent(release_);
    std::string command = testing::ThisProgramFolder() + "\\vault_turn_holder.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    HANDLE either[] = {taken_, nullptr};
    if (CreateProcessA(command.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
      CloseHandle(process.hThread);
      either[1] = process_ = process.hProcess;
      holds_ = WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
  }
  ~HolderProcess() {
    End(true);
    for (HANDLE handle : {taken_, release_, process_}) CloseHandle(handle);
  }

  bool holds() const { return holds_; }
  void End(bool kill) {
    if (kill) TerminateProcess(process_, 9);
    SetEvent(release_);
    WaitForSingleObject(process_, 30000);
  }

 private:
  HANDLE taken_ = CreateEventW(nullptr, TRUE, FALSE, L"Local\\QuillmarTurnTaken");
  HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, L"Local\\QuillmarTurnRelease");
  HANDLE process_ = nullptr;
  bool holds_ = false;
};

// The limit the test sets; a call asks for it just before it waits.
class TestTurnWait : public platform::VaultTurnWait {
 public:
  std::chrono::milliseconds Limit() override {
    SetEvent(asked);
    return std::chrono::milliseconds(limit_ms.load());
  }
  std::atomic<long long> limit_ms{30000};
  HANDLE asked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

struct TurnRow {
  const char* name;
  const char* method;
  const char* value;         // "itemValue", when the method takes one
  const char* stored_after;  // the vault's value once the call is done; null: none
  bool kill_holder;
};

// The method's reply with `error` (null: none).
EncodableValue ReplyOf(const TurnRow& row, EncodableValue error) {
  bool ok = error.IsNull();
  if (std::string(row.method) == "getKeychainItem") {
    return MapArgs({{"error", error},
                    {"itemValue", ok ? EncodableValue("v") : EncodableValue()},
                    {"success", EncodableValue(ok)}});
  }
  if (row.value != nullptr) {
    return MapArgs({{"error", error}, {"status", EncodableValue(ok ? "ok" : "error")}});
  }
  return MapArgs({{"error", error}, {"success", EncodableValue(ok)}});
}

std::vector<standin::VaultEntry> Stored(const char* value) {
  if (value == nullptr) return {};
  return {{"Quillmar", "k", value}};
}

class VaultTurnTest : public ::testing::TestWithParam<TurnRow> {
 protected:
  void SetUp() override {
    standin::Register(standin::DllBesideProgram());
    standin::Reset();
    standin::PutVaultEntry({"Quillmar", "k", "v"});
  }
  void TearDown() override {
    standin_test::Legacy().Delete(standin_test::TargetOf("k"));
    standin::SwitchOff();
    CloseHandle(kept_);
  }

  // Dispatches on a thread of the multithreaded apartment, as a pool
  // thread would, and returns the log its answers go to.
  std::shared_ptr<testing::AnswerLog> Start() {
    auto [log, result] = testing::MakeRecordingResult();
    EncodableValue arguments = MapArgs({{"itemKey", EncodableValue("k")}});
    if (GetParam().value)
      arguments = MapArgs(
          {{"itemKey", EncodableValue("k")}, {"itemValue", EncodableValue(GetParam().value)}});
    std::thread([method = GetParam().method, arguments, result = std::move(result)]() mutable {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      QuillmarCoreWindows plugin;
      MethodCall call(method, std::make_unique<EncodableValue>(std::move(arguments)));
      plugin.DispatchMethodCall(call, std::move(result));
      CoUninitialize();
    }).detach();
    return log;
  }
  EncodableValue Answer() {
    std::shared_ptr<testing::AnswerLog> log = Start();
    return log->WaitFor(1) ? log->answers()[0].value : EncodableValue("no answer");
  }
  // True when nobody holds the turn. The test keeps a handle of its own, so
  // that a dead holder's mutex is found abandoned, not made anew.
  bool TurnIsFree() {
    if (WaitForSingleObject(kept_, 0) != WAIT_OBJECT_0) return false;
    return ReleaseMutex(kept_);
  }

  TestTurnWait wait_;

 private:
  HANDLE kept_ = CreateMutexW(nullptr, FALSE, L"Local\\QuillmarVaultTurn");
  platform::fake::FakeSystemVersion version_{true};
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
  platform::ScopedOverride<platform::VaultTurnWait> wait_override_{&wait_};
};

// Held past the limit: the bounded answer, both stores as they were; once
// the holder lets go or dies (abandoning the turn), the call goes through
// and gives the turn back.
TEST_P(VaultTurnTest, AnswersBusyThenGoesThrough) {
  standin_test::PutLegacy("k", "legacy");
  wait_.limit_ms = 200;
  HolderProcess holder;
  ASSERT_TRUE(holder.holds());
  EXPECT_EQ(Answer(),
            ReplyOf(GetParam(), EncodableValue("Another process holds the password "
                                               "vault; nothing was changed. Try again.")));
  EXPECT_EQ(standin::VaultEntries(), Stored("v"));
  EXPECT_EQ(standin_test::LegacyStatus("k"), 0u);
  holder.End(GetParam().kill_holder);
  EXPECT_EQ(Answer(), ReplyOf(GetParam(), EncodableValue()));
  EXPECT_EQ(standin::VaultEntries(), Stored(GetParam().stored_after));
  EXPECT_TRUE(TurnIsFree());
}

// Let go within the limit, once the call has asked for it: it goes through.
TEST_P(VaultTurnTest, WaitsWhileAnotherHoldsTheTurn) {
  HolderProcess holder;
  ASSERT_TRUE(holder.holds());
  std::shared_ptr<testing::AnswerLog> log = Start();
  ASSERT_EQ(WaitForSingleObject(wait_.asked, 30000), WAIT_OBJECT_0);
  holder.End(GetParam().kill_holder);
  ASSERT_TRUE(log->WaitFor(1));
  EXPECT_EQ(log->answers()[0].value, ReplyOf(GetParam(), EncodableValue()));
  EXPECT_EQ(standin::VaultEntries(), Stored(GetParam().stored_after));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, VaultTurnTest,
    ::testing::Values(TurnRow{"Read", "getKeychainItem", nullptr, "v", false},
                      TurnRow{"Write", "upsertKeychainItem", "new", "new", false},
                      TurnRow{"Delete", "deleteKeychainItem", nullptr, nullptr, false},
                      TurnRow{"ReadAbandoned", "getKeychainItem", nullptr, "v", true},
                      TurnRow{"WriteAbandoned", "upsertKeychainItem", "new", "new", true},
                      TurnRow{"DeleteAbandoned", "deleteKeychainItem", nullptr, nullptr, true}),
    [](const ::testing::TestParamInfo<TurnRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar
