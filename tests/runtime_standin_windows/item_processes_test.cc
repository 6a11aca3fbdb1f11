// Items read, moved, written and deleted by separate processes of the
// command-line host (quillmar-host.exe) over the stand-in's vault, which
// its processes share through one file, and Wine's credential manager.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/item_call_lines.h"
#include "tests/support/windows_process.h"

namespace quillmar::standin_test {
namespace {

// One process of the command-line host answering one call: its line.
std::string HostProcess(const std::string& method, const std::string& arguments) {
  testing::ProgramRun run = testing::RunProgram(
      testing::ThisProgramFolder() + "\\quillmar-host.exe", {"call", method, arguments});
  std::string output = testing::WithoutCarriageReturns(run.output);
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

using testing::Found;
using testing::ItemArgs;
using testing::kDeleted;
using testing::KeyArgs;
using testing::kMissing;
using testing::kStored;

std::optional<std::string> VaultValue(const std::string& key) {
  for (const standin::VaultEntry& entry : standin::VaultEntries()) {
    if (entry.resource == "Quillmar" && entry.user_name == key) return entry.password;
  }
  return std::nullopt;
}

class ItemProcessesTest : public OverStandIn<> {};

TEST_F(ItemProcessesTest, ItemWrittenByOneProcessIsReadReplacedAndDeletedByOthers) {
  Legacy().Delete(TargetOf("round-trip"));
  EXPECT_EQ(HostProcess("upsertKeychainItem", ItemArgs("round-trip", "first")), kStored);
  EXPECT_EQ(HostProcess("getKeychainItem", KeyArgs("round-trip")), Found("first"));
  EXPECT_EQ(HostProcess("upsertBiometricSecureItem", ItemArgs("round-trip", "second")), kStored);
  EXPECT_EQ(VaultValue("round-trip"), "second");
  EXPECT_EQ(HostProcess("deleteKeychainItem", KeyArgs("round-trip")), kDeleted);
  EXPECT_EQ(HostProcess("getKeychainItem", KeyArgs("round-trip")), kMissing);
}

// A reader of a key that moves its legacy copy into the vault, held at a
// step of its read through the stand-in while another process answers a
// call on the key, then let go: the windows the move guards against, met
// every time.
struct HeldReaderRow {
  const char* name;
  const char* hold;   // "hold.<step>"
  const char* count;  // the reader's call of the step that holds
  const char* method;
  bool upsert;
  std::string read;                  // the reader's answer
  std::optional<std::string> vault;  // the key's value in the vault after both
};

void PrintTo(const HeldReaderRow& row, std::ostream* out) { *out << row.name; }

class HeldReaderTest : public OverStandIn<::testing::TestWithParam<HeldReaderRow>> {};

TEST_P(HeldReaderTest, NeitherUndoesTheOther) {
  const HeldReaderRow& row = GetParam();
  const std::string key = std::string("held-") + row.name;
  PutLegacy(key, "legacy");
  standin::Set(row.hold, row.count);

  std::string read;
  std::thread reader([&] { read = HostProcess("getKeychainItem", KeyArgs(key)); });
  bool held = standin::WaitUntilHeld();
  std::string other =
      HostProcess(row.method, row.upsert ? ItemArgs(key, "acknowledged") : KeyArgs(key));
  standin::Release();
  reader.join();

  ASSERT_TRUE(held) << "the reader never reached " << row.hold;
  EXPECT_EQ(other, row.upsert ? kStored : kDeleted);
  EXPECT_EQ(read, row.read);
  EXPECT_EQ(VaultValue(key), row.vault);
  EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound);
  Legacy().Delete(TargetOf(key));
}

// The reader's third vault object is its move's first: it has found no
// entry and read the legacy copy, and holds no turn of the vault.
INSTANTIATE_TEST_SUITE_P(
    Steps, HeldReaderTest,
    ::testing::Values(HeldReaderRow{"UpsertAfterTheReaderReadTheLegacyCopy", "hold.vault.activate",
                                    "3", "upsertKeychainItem", true, Found("legacy"),
                                    "acknowledged"},
                      HeldReaderRow{"DeleteAfterTheReaderReadTheLegacyCopy", "hold.vault.activate",
                                    "3", "deleteKeychainItem", false, Found("legacy"),
                                    std::nullopt}),
    [](const ::testing::TestParamInfo<HeldReaderRow>& info) { return info.param.name; });

}  // namespace
}  // namespace quillmar::standin_test
