// Items in a real Secret Service, written, read, moved and deleted by
// separate processes of the command-line host. Run them under
// scripts/env/keyring-session; without a session bus they are skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/registration_state.h"
#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "tests/support/child_process.h"
#include "tests/support/item_call_lines.h"

namespace quillmar {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::ChildProcess;

// The command's standard output, its last line break removed.
std::string Output(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[4096];
  size_t read;
  while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, read);
  pclose(pipe);
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// One process of the command-line host answering one call.
std::string Host(const std::string& method, const std::string& arguments = "",
                 const std::string& environment = "") {
  std::string command = environment + " " + Quoted(QUILLMAR_HOST_BINARY) + " call " + method;
  if (!arguments.empty()) command += " " + Quoted(arguments);
  return Output(command + " 2>/dev/null");
}

using testing::Found;
using testing::ItemArgs;
using testing::kDeleted;
using testing::KeyArgs;
using testing::kMissing;
using testing::kStored;

std::optional<std::string> WhyNoSecretService() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') {
    return "no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set); run the tests under "
           "scripts/env/keyring-session";
  }
  std::string owner = Output(
      "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
      "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>&1");
  if (owner.find("boolean true") == std::string::npos) {
    return "no Secret Service on the D-Bus session bus: " + owner;
  }
  return std::nullopt;
}

class ItemProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto reason = WhyNoSecretService()) GTEST_SKIP() << *reason;
  }
  // A key of this test and process, so that runs sharing a keyring never meet.
  std::string Key(const std::string& name) const {
    return "it-" + std::to_string(getpid()) + "-" + name;
  }
  // Plants a credential as the legacy store of an older system left it.
  void PutLegacy(const std::string& key, const std::string& value) {
    platform::Buffer blob(reinterpret_cast<const uint8_t*>(value.c_str()), value.size() + 1);
    ASSERT_EQ(Legacy().Write(Utf8ToWide("Quillmar:" + key), blob), 0u);
  }
  uint32_t LegacyStatus(const std::string& key) {
    platform::Buffer blob;
    return Legacy().Read(Utf8ToWide("Quillmar:" + key), &blob);
  }
  // Plants a vault entry directly, as an earlier run of the library left it.
  void PutVault(const std::string& key, const std::string& value) {
    platform::DefaultService<platform::PasswordVault>().Add(
        {kResourceName, Utf8ToWide(key), Utf8ToWide(value)});
  }
  std::optional<std::string> VaultValue(const std::string& key) {
    auto& vault = platform::DefaultService<platform::PasswordVault>();
    try {
      platform::PasswordCredential credential = vault.Retrieve(kResourceName, Utf8ToWide(key));
      vault.RetrievePassword(&credential);
      return WideToUtf8(credential.password);
    } catch (const platform::PlatformError& error) {
      EXPECT_EQ(error.code(), platform::kENotFound);
      return std::nullopt;
    }
  }

 private:
  static platform::CredentialManager& Legacy() {
    return platform::DefaultService<platform::CredentialManager>();
  }
};

TEST_F(ItemProcessesTest, ItemWrittenByOneProcessIsReadReplacedAndDeletedByOthers) {
  std::string key = Key("round-trip");

  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs(key, "first secret")), kStored);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("first secret"));
  EXPECT_EQ(Host("upsertBiometricSecureItem", ItemArgs(key, "second secret")), kStored);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("second secret"));
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), kMissing);
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

TEST_F(ItemProcessesTest, UnicodeKeysAndValuesSurviveTheStore) {
  std::string key = Key("ключ-🔑");
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs(key, "pässwörd ✓ 🔐")), kStored);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("pässwörd ✓ 🔐"));
  EXPECT_EQ(VaultValue(key), "pässwörd ✓ 🔐");
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

TEST_F(ItemProcessesTest, ValuesKeepZeroCharactersAndAnEmptyValueReadsAsMissing) {
  std::string key = Key("zeros");
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs(key, "\\u0000a\\u0000b")), kStored);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("\\u0000a\\u0000b"));
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs(key, "")), kStored);
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), kMissing);
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

TEST_F(ItemProcessesTest, LegacyItemMovesIntoTheVaultOnItsFirstRead) {
  std::string key = Key("légacy");
  PutLegacy(key, "old secret");

  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("old secret"));

  EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound);
  EXPECT_EQ(VaultValue(key), "old secret");
  EXPECT_EQ(Host("getKeychainItem", KeyArgs(key)), Found("old secret"));
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

TEST_F(ItemProcessesTest, DeleteRemovesTheItemFromBothStores) {
  std::string key = Key("both");
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs(key, "vault copy")), kStored);
  PutLegacy(key, "legacy copy");

  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);

  EXPECT_EQ(VaultValue(key), std::nullopt);
  EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound);
}

TEST_F(ItemProcessesTest, BiometricReadsReportThatLinuxHasNoVerifier) {
  std::string key = Key("biometric");
  EXPECT_EQ(Host("upsertBiometricSecureItem", ItemArgs(key, "guarded")), kStored);

  EXPECT_EQ(Host("getBiometricSecureItem", KeyArgs(key)),
            R"({"success": {"error": null, "itemValue": null, "status": "device_not_present"}})");
  EXPECT_EQ(Host("getBiometricSecureItem", KeyArgs(Key("absent"))),
            R"({"success": {"error": null, "itemValue": null, "status": "ok"}})");
  EXPECT_EQ(Host("getBiometryAvailability"), R"({"success": "not_available"})");
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

// One process of the command-line host calling `method`, left running.
std::unique_ptr<ChildProcess> StartHost(const std::string& method, const std::string& arguments) {
  return std::make_unique<ChildProcess>(
      std::vector<std::string>{QUILLMAR_HOST_BINARY, "call", method, arguments}, "");
}

// A source of kill moments, its seed in the test's output.
std::mt19937 SeededRandom() {
  unsigned seed = std::random_device()();
  std::printf("random seed %u\n", seed);
  return std::mt19937(seed);
}

// How long a host process that makes `method`'s call takes from start to exit.
milliseconds HostLifetime(const std::string& method, const std::string& arguments) {
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<ChildProcess> host = StartHost(method, arguments);
  EXPECT_TRUE(host->WaitForExit(seconds(30)));
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

// Many runs with a kill at a random moment of the process's life each; a few
// seconds in all (more under the sanitizers, whose processes live longer).
constexpr int kKilledRuns = 40;

TEST_F(ItemProcessesTest, UpsertKilledAnywhereLeavesTheOldOrTheNewValue) {
  std::string key = Key("killed-upsert");
  PutVault(key, "value 0");
  milliseconds lifetime = HostLifetime("upsertKeychainItem", ItemArgs(key, "value 1"));
  std::string current = "value 1";
  ASSERT_EQ(VaultValue(key), current);
  std::mt19937 random = SeededRandom();
  std::uniform_int_distribution<int> moment(0, static_cast<int>(lifetime.count() * 6 / 5));

  for (int run = 2; run < kKilledRuns + 2; ++run) {
    std::string next = "value " + std::to_string(run);
    std::unique_ptr<ChildProcess> upsert = StartHost("upsertKeychainItem", ItemArgs(key, next));
    std::this_thread::sleep_for(milliseconds(moment(random)));
    upsert->Kill();
    std::optional<std::string> stored = VaultValue(key);
    ASSERT_TRUE(stored == current || stored == next)
        << "run " << run << ": " << stored.value_or("no value") << " after replacing " << current;
    current = *stored;
  }
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

TEST_F(ItemProcessesTest, DeleteKilledAnywhereNeverBringsTheLegacyCopyBack) {
  std::string key = Key("killed-delete");
  PutVault(key, "current");
  PutLegacy(key, "legacy");
  milliseconds lifetime = HostLifetime("deleteKeychainItem", KeyArgs(key));
  std::mt19937 random = SeededRandom();
  std::uniform_int_distribution<int> moment(0, static_cast<int>(lifetime.count() * 6 / 5));

  for (int run = 0; run < kKilledRuns / 2; ++run) {
    PutVault(key, "current");
    PutLegacy(key, "legacy");
    std::unique_ptr<ChildProcess> remove = StartHost("deleteKeychainItem", KeyArgs(key));
    std::this_thread::sleep_for(milliseconds(moment(random)));
    remove->Kill();
    // A legacy copy without a vault entry is what the next read moves in.
    bool legacy_alone = !VaultValue(key) && LegacyStatus(key) == platform::kErrorSuccess;
    ASSERT_FALSE(legacy_alone) << "run " << run;
  }
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
}

// A reader of a key racing another process's call on it: which of the two
// starts first, and how long before the other, is chosen at random.
class ReaderRace {
 public:
  ReaderRace()
      : random_(SeededRandom()),
        head_start_(0, static_cast<int>(
                           HostLifetime("getKeychainItem", KeyArgs("race-absent")).count() / 2)) {}

  struct Replies {
    std::string read;
    std::string other;
  };
  Replies Run(const std::string& key, const std::string& method, const std::string& arguments) {
    bool reader_first = random_() % 2 == 0;
    auto start = [&](bool reader) {
      return reader ? StartHost("getKeychainItem", KeyArgs(key)) : StartHost(method, arguments);
    };
    std::unique_ptr<ChildProcess> first = start(reader_first);
    std::this_thread::sleep_for(milliseconds(head_start_(random_)));
    std::unique_ptr<ChildProcess> second = start(!reader_first);
    std::string read = (reader_first ? first : second)->ReadLine(seconds(30));
    std::string other = (reader_first ? second : first)->ReadLine(seconds(30));
    return {read, other};
  }

 private:
  std::mt19937 random_;
  std::uniform_int_distribution<int> head_start_;
};

// A read that moves a legacy copy while another process upserts the key:
// the acknowledged upsert stays, whether the vault held the key before or not.
TEST_F(ItemProcessesTest, ReaderMovingALegacyCopyNeverUndoesAnAcknowledgedUpsert) {
  ReaderRace race;
  for (int run = 0; run < 16; ++run) {
    std::string key = Key("race-" + std::to_string(run));
    bool in_vault = run % 2 == 0;
    if (in_vault) PutVault(key, "before");
    PutLegacy(key, "legacy");

    ReaderRace::Replies replies =
        race.Run(key, "upsertKeychainItem", ItemArgs(key, "acknowledged"));

    EXPECT_EQ(replies.other, kStored) << "run " << run;
    EXPECT_TRUE(replies.read == Found(in_vault ? "before" : "legacy") ||
                replies.read == Found("acknowledged"))
        << "run " << run << ": " << replies.read;
    EXPECT_EQ(VaultValue(key), "acknowledged") << "run " << run;
    EXPECT_EQ(Host("deleteKeychainItem", KeyArgs(key)), kDeleted);
  }
}

// A read that moves a legacy copy while another process deletes the key:
// once both have answered, the key is in neither store.
TEST_F(ItemProcessesTest, ReaderMovingALegacyCopyNeverUndoesADelete) {
  ReaderRace race;
  for (int run = 0; run < 40; ++run) {
    std::string key = Key("delete-race-" + std::to_string(run));
    PutLegacy(key, "legacy");

    ReaderRace::Replies replies = race.Run(key, "deleteKeychainItem", KeyArgs(key));

    EXPECT_EQ(replies.other, kDeleted) << "run " << run;
    EXPECT_TRUE(replies.read == Found("legacy") || replies.read == kMissing)
        << "run " << run << ": " << replies.read;
    EXPECT_EQ(VaultValue(key), std::nullopt) << "run " << run;
    EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound) << "run " << run;
    Host("deleteKeychainItem", KeyArgs(key));
  }
}

// These two start their own conditions, so they need no session of the caller.
TEST(SecretServiceFailureTest, MissingSessionBusIsReportedNotBypassed) {
  std::string no_bus = "env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY XDG_RUNTIME_DIR=/nonexistent";
  const std::string message =
      "No D-Bus session bus is reachable (DBUS_SESSION_BUS_ADDRESS is not set), so the Secret "
      "Service cannot be used.";

  EXPECT_EQ(Host("getKeychainItem", KeyArgs("k"), no_bus),
            R"({"success": {"error": ")" + message + R"(", "itemValue": null, "success": false}})");
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs("k", "v"), no_bus),
            R"({"success": {"error": ")" + message + R"(", "status": "error"}})");
  EXPECT_EQ(Host("deleteKeychainItem", KeyArgs("k"), no_bus),
            R"({"success": {"error": ")" + message + R"(", "success": false}})");
}

// A key cut at the zero would name, and overwrite, another item.
TEST(SecretServiceFailureTest, KeyWithAZeroCharacterIsRefused) {
  EXPECT_EQ(Host("upsertKeychainItem", ItemArgs("a\\u0000b", "v")),
            R"({"success": {"error": "The parameter is incorrect.", "status": "error"}})");
  EXPECT_EQ(Host("getKeychainItem", KeyArgs("a\\u0000b")),
            R"({"success": {"error": "The parameter is incorrect.", "itemValue": null, )"
            R"("success": false}})");
}

// A running `serve` across a stop and a restart of the Secret Service, in a
// session of its own: calls during the outage answer their error replies,
// calls after it reach the new daemon, and nothing stored before is lost.
TEST(SecretServiceFailureTest, RestartedServiceIsReachedAgainByARunningHost) {
  if (Output("command -v gnome-keyring-daemon").empty() ||
      Output("command -v dbus-run-session").empty()) {
    GTEST_SKIP() << "gnome-keyring-daemon or dbus-run-session is not installed";
  }
  std::string source = QUILLMAR_SOURCE_DIR;
  std::string output = Output(Quoted(source + "/scripts/env/keyring-session") + " " +
                              Quoted(source + "/tests/storage_integration/restart_under_serve.sh") +
                              " " + Quoted(QUILLMAR_HOST_BINARY) + " 2>/dev/null");

  std::vector<std::string> replies;
  for (size_t start = 0; start < output.size();) {
    size_t end = std::min(output.find('\n', start), output.size());
    replies.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  const std::string outage = R"("error": "The Secret Service is not available on the D-Bus )"
                             R"(session bus: )";
  auto during_outage = [&](const std::string& reply, const std::string& id,
                           const std::string& failure) {
    return reply.rfind(R"({"id": )" + id + R"(, "success": {)" + outage, 0) == 0 &&
           reply.size() >= failure.size() &&
           reply.compare(reply.size() - failure.size(), failure.size(), failure) == 0;
  };
  ASSERT_EQ(replies.size(), 8u) << output;
  EXPECT_EQ(replies[0], R"({"id": 1, "success": {"error": null, "status": "ok"}})");
  EXPECT_TRUE(during_outage(replies[1], "2", R"(", "itemValue": null, "success": false}})"))
      << replies[1];
  EXPECT_TRUE(during_outage(replies[2], "3", R"(", "status": "error"}})")) << replies[2];
  EXPECT_TRUE(during_outage(replies[3], "4", R"(", "success": false}})")) << replies[3];
  EXPECT_EQ(replies[4],
            R"({"id": 5, "success": {"error": null, "itemValue": "before", "success": true}})");
  EXPECT_EQ(replies[5], R"({"id": 6, "success": {"error": null, "status": "ok"}})");
  EXPECT_EQ(replies[6],
            R"({"id": 7, "success": {"error": null, "itemValue": "after", "success": true}})");
  EXPECT_EQ(replies[7], R"({"id": 8, "success": {"error": null, "success": true}})");
}

TEST(SecretServiceFailureTest, LockedCollectionIsReportedNotBypassed) {
  if (Output("command -v gnome-keyring-daemon").empty() ||
      Output("command -v dbus-run-session").empty()) {
    GTEST_SKIP() << "gnome-keyring-daemon or dbus-run-session is not installed";
  }
  std::string host = Quoted(QUILLMAR_HOST_BINARY);
  std::string script =
      host + " call upsertKeychainItem " + Quoted(ItemArgs("k", "kept")) + " >/dev/null; " +
      "dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets "
      "org.freedesktop.Secret.Service.Lock "
      "array:objpath:/org/freedesktop/secrets/collection/login >/dev/null; " +
      host + " call upsertKeychainItem " + Quoted(ItemArgs("k", "new")) + "; " + host +
      " call getKeychainItem " + Quoted(KeyArgs("k"));
  std::string session = std::string(QUILLMAR_SOURCE_DIR) + "/scripts/env/keyring-session";

  std::string output = Output(Quoted(session) + " sh -c " + Quoted(script) + " 2>/dev/null");

  const std::string message =
      "The Secret Service collection is locked; unlock the keyring to use its items.";
  EXPECT_EQ(output, R"({"success": {"error": ")" + message +
                        R"(", "status": "error"}})"
                        "\n" +
                        R"({"success": {"error": ")" + message +
                        R"(", "itemValue": null, "success": false}})");
}

}  // namespace
}  // namespace quillmar
