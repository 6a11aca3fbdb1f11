// Items read, moved, written and deleted by separate processes of the
// command-line host (quillmar-host.exe) over the stand-in's vault, which
// its processes share through one file, and Wine's credential manager.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/item_call_lines.h"
#include "tests/support/windows_process.h"

namespace quillmar::standin_test {
namespace {

using std::chrono::milliseconds;

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

// A reader of a key racing another process's call on it: which of the two
// starts first, and how long before the other, is chosen at random.
class ReaderRace {
 public:
  ReaderRace() : random_(Seeded()) {
    auto start = std::chrono::steady_clock::now();
    HostProcess("getKeychainItem", KeyArgs("race-absent"));
    auto lifetime =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    head_start_ = std::uniform_int_distribution<int>(0, static_cast<int>(lifetime.count() / 2));
  }

  struct Replies {
    std::string read;
    std::string other;
  };
  Replies Run(const std::string& key, const std::string& method, const std::string& arguments) {
    bool reader_first = random_() % 2 == 0;
    Replies replies;
    auto reader = [&] { replies.read = HostProcess("getKeychainItem", KeyArgs(key)); };
    auto other = [&] { replies.other = HostProcess(method, arguments); };
    std::thread first(reader_first ? std::function<void()>(reader) : other);
    std::this_thread::sleep_for(milliseconds(head_start_(random_)));
    std::thread second(reader_first ? std::function<void()>(other) : reader);
    first.join();
    second.join();
    return replies;
  }

 private:
  static std::mt19937 Seeded() {
    unsigned seed = std::random_device()();
    std::printf("random seed %u\n", seed);
    return std::mt19937(seed);
  }

  std::mt19937 random_;
  std::uniform_int_distribution<int> head_start_;
};

// A read that moves a legacy copy while another process upserts the key:
// the acknowledged upsert stays, whether the vault held the key before or not.
TEST_F(ItemProcessesTest, ReaderMovingALegacyCopyNeverUndoesAnAcknowledgedUpsert) {
  ReaderRace race;
  for (int run = 0; run < 12; ++run) {
    std::string key = "race-" + std::to_string(run);
    Legacy().Delete(TargetOf(key));
    bool in_vault = run % 2 == 0;
    if (in_vault) standin::PutVaultEntry({"Quillmar", key, "before"});
    PutLegacy(key, "legacy");

    ReaderRace::Replies replies =
        race.Run(key, "upsertKeychainItem", ItemArgs(key, "acknowledged"));

    EXPECT_EQ(replies.other, kStored) << "run " << run;
    EXPECT_TRUE(replies.read == Found(in_vault ? "before" : "legacy") ||
                replies.read == Found("acknowledged"))
        << "run " << run << ": " << replies.read;
    EXPECT_EQ(VaultValue(key), "acknowledged") << "run " << run;
    Legacy().Delete(TargetOf(key));
  }
}

// A read that moves a legacy copy while another process deletes the key:
// once both have answered, the key is in neither store.
TEST_F(ItemProcessesTest, ReaderMovingALegacyCopyNeverUndoesADelete) {
  ReaderRace race;
  for (int run = 0; run < 20; ++run) {
    std::string key = "delete-race-" + std::to_string(run);
    PutLegacy(key, "legacy");

    ReaderRace::Replies replies = race.Run(key, "deleteKeychainItem", KeyArgs(key));

    EXPECT_EQ(replies.other, kDeleted) << "run " << run;
    EXPECT_TRUE(replies.read == Found("legacy") || replies.read == kMissing)
        << "run " << run << ": " << replies.read;
    EXPECT_EQ(VaultValue(key), std::nullopt) << "run " << run;
    EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound) << "run " << run;
    Legacy().Delete(TargetOf(key));
  }
}

}  // namespace
}  // namespace quillmar::standin_test
