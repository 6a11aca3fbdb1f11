// The item methods through the host stand-in, over the real vault backend
// (the stand-in's PasswordVault) and Wine's real credential manager.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/registration_state.h"
#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/recording_result.h"

namespace quillmar::standin_test {
namespace {

using standin::VaultEntry;
using testing::MapArgs;

constexpr platform::HResult kAccessDenied = 0x80070005;
constexpr platform::HResult kNotFound = 0x80070490;

EncodableValue KeyArgs(const std::string& key) { return MapArgs({{"itemKey", key}}); }
EncodableValue ItemArgs(const std::string& key, const std::string& value) {
  return MapArgs({{"itemKey", key}, {"itemValue", value}});
}

MethodReply Found(EncodableValue value) {
  return MethodReply::Success(
      ReplyMap({{"error", EncodableValue()}, {"success", true}, {"itemValue", std::move(value)}}));
}
MethodReply ReadFailed(platform::HResult code) {
  return MethodReply::Success(
      ReplyMap({{"error", TextOf(code)}, {"success", false}, {"itemValue", EncodableValue()}}));
}
const MethodReply kMissing = Found(EncodableValue());
const MethodReply kStored =
    MethodReply::Success(ReplyMap({{"error", EncodableValue()}, {"status", "ok"}}));
MethodReply WriteFailed(platform::HResult code) {
  return MethodReply::Success(ReplyMap({{"error", TextOf(code)}, {"status", "error"}}));
}
const MethodReply kDeleted =
    MethodReply::Success(ReplyMap({{"error", EncodableValue()}, {"success", true}}));
MethodReply DeleteFailed(platform::HResult code) {
  return MethodReply::Success(ReplyMap({{"error", TextOf(code)}, {"success", false}}));
}

VaultEntry Entry(const std::string& key, const std::string& value) {
  return {"Quillmar", key, value};
}

// Wine's credential manager outlives a test: each starts and ends without
// the credentials of its keys.
template <typename Base = ::testing::Test>
class WithLegacyStore : public OverStandIn<Base> {
 protected:
  void SetUp() override {
    OverStandIn<Base>::SetUp();
    ForgetLegacy();
  }
  void TearDown() override {
    ForgetLegacy();
    OverStandIn<Base>::TearDown();
  }

 private:
  static void ForgetLegacy() {
    for (const char* key : {"k", "légacy ключ", "both"}) Legacy().Delete(TargetOf(key));
  }
};

class ItemsOverStandInTest : public WithLegacyStore<> {};

TEST_F(ItemsOverStandInTest, ItemIsStoredReplacedReadAndDeletedInTheVault) {
  ExpectReply(Call("upsertKeychainItem", ItemArgs("k", "first ✓")), kStored);
  EXPECT_EQ(standin::VaultEntries(), std::vector<VaultEntry>{Entry("k", "first ✓")});
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), Found("first ✓"));

  // The biometric upsert is the same write: one entry, the second value.
  ExpectReply(Call("upsertBiometricSecureItem", ItemArgs("k", "second")), kStored);
  EXPECT_EQ(standin::VaultEntries(), std::vector<VaultEntry>{Entry("k", "second")});
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), Found("second"));

  ExpectReply(Call("deleteKeychainItem", KeyArgs("k")), kDeleted);
  EXPECT_TRUE(standin::VaultEntries().empty());
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), kMissing);
  ExpectReply(Call("deleteKeychainItem", KeyArgs("k")), kDeleted);
}

TEST_F(ItemsOverStandInTest, OtherResourcesAndUsersAreLeftAlone) {
  standin::PutVaultEntry({"Other", "k", "theirs"});
  standin::PutVaultEntry(Entry("K", "upper"));
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), kMissing);
  ExpectReply(Call("upsertKeychainItem", ItemArgs("k", "mine")), kStored);
  ExpectReply(Call("deleteKeychainItem", KeyArgs("K")), kDeleted);
  EXPECT_EQ(standin::VaultEntries(),
            (std::vector<VaultEntry>{{"Other", "k", "theirs"}, Entry("k", "mine")}));
}

TEST_F(ItemsOverStandInTest, EmptyStoredValueReadsAsMissing) {
  ExpectReply(Call("upsertKeychainItem", ItemArgs("k", "")), kStored);
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), kMissing);
}

TEST_F(ItemsOverStandInTest, ReadMovesALegacyItemIntoTheVaultOnce) {
  const std::string key = "légacy ключ";
  PutLegacy(key, "old secret");

  ExpectReply(Call("getKeychainItem", KeyArgs(key)), Found("old secret"));

  EXPECT_EQ(standin::VaultEntries(), std::vector<VaultEntry>{Entry(key, "old secret")});
  EXPECT_EQ(LegacyStatus(key), platform::kErrorNotFound);
  ExpectReply(Call("getKeychainItem", KeyArgs(key)), Found("old secret"));
}

TEST_F(ItemsOverStandInTest, VaultEntryWinsOverALegacyCopyAndDeleteRemovesBoth) {
  PutLegacy("both", "legacy");
  standin::PutVaultEntry(Entry("both", "vault"));
  ExpectReply(Call("getKeychainItem", KeyArgs("both")), Found("vault"));

  ExpectReply(Call("deleteKeychainItem", KeyArgs("both")), kDeleted);
  EXPECT_TRUE(standin::VaultEntries().empty());
  EXPECT_EQ(LegacyStatus("both"), platform::kErrorNotFound);
}

// The biometric read consults the vault only: a legacy item is found once
// a plain read has moved it.
TEST_F(ItemsOverStandInTest, BiometricReadFindsALegacyItemOnlyAfterTheMove) {
  PutLegacy("k", "legacy");
  const EncodableValue arguments = MapArgs({{"itemKey", "k"}, {"biometricPrompt", "Unlock"}});
  ExpectReply(
      Call("getBiometricSecureItem", arguments),
      MethodReply::Success(ReplyMap(
          {{"status", "ok"}, {"error", EncodableValue()}, {"itemValue", EncodableValue()}})));
  EXPECT_TRUE(standin::Recorded().empty());  // no prompt for a missing item

  ExpectReply(Call("getKeychainItem", KeyArgs("k")), Found("legacy"));
  ExpectReply(Call("getBiometricSecureItem", arguments),
              MethodReply::Success(ReplyMap(
                  {{"status", "ok"}, {"error", EncodableValue()}, {"itemValue", "legacy"}})));
  EXPECT_EQ(standin::Recorded(), std::vector<std::string>{"consent.request prompt=Unlock"});
}

// A move that cannot store the entry keeps the legacy copy, for the next
// read, and still answers the value.
class FailedMoveTest : public WithLegacyStore<::testing::TestWithParam<const char*>> {};

TEST_P(FailedMoveTest, LeavesTheLegacyCopyAndAnswersIt) {
  PutLegacy("k", "legacy");
  standin::Set(GetParam(), "0x80070005");
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), Found("legacy"));
  EXPECT_TRUE(standin::VaultEntries().empty());
  EXPECT_EQ(LegacyStatus("k"), platform::kErrorSuccess);
}

INSTANTIATE_TEST_SUITE_P(MoveSteps, FailedMoveTest,
                         ::testing::Values("fail.credential.create", "fail.vault.add"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "fail.vault.add" ? "AddRefused"
                                                                              : "NoCredential";
                         });

// A platform failure at one step of one method, and what the vault holds
// afterwards.
struct FailingStep {
  const char* name;
  const char* step;
  platform::HResult code;
  const char* method;
  EncodableValue arguments;
  MethodReply reply;
  std::vector<VaultEntry> vault_after;  // from a vault holding "k" = "before"
};

void PrintTo(const FailingStep& row, std::ostream* out) { *out << row.name; }

class FailingStepTest : public WithLegacyStore<::testing::TestWithParam<FailingStep>> {};

TEST_P(FailingStepTest, IsAnsweredAndKeepsTheVault) {
  const FailingStep& row = GetParam();
  standin::PutVaultEntry(Entry("k", "before"));
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(row.code));
  standin::Set(row.step, code);

  ExpectReply(Call(row.method, row.arguments), row.reply);
  EXPECT_EQ(standin::VaultEntries(), row.vault_after);
}

const std::vector<VaultEntry> kBefore{Entry("k", "before")};

INSTANTIATE_TEST_SUITE_P(
    VaultSteps, FailingStepTest,
    ::testing::Values(
        FailingStep{"ReadWithoutAVault", "fail.vault.activate", kAccessDenied, "getKeychainItem",
                    KeyArgs("k"), ReadFailed(kAccessDenied), kBefore},
        FailingStep{"ReadRefusedByRetrieve", "fail.vault.retrieve", kAccessDenied,
                    "getKeychainItem", KeyArgs("k"), ReadFailed(kAccessDenied), kBefore},
        FailingStep{"ReadRefusedByRetrievePassword", "fail.vault.retrieve_password", kAccessDenied,
                    "getKeychainItem", KeyArgs("k"), ReadFailed(kAccessDenied), kBefore},
        FailingStep{"ReadWhoseEntryVanishedIsMissing", "fail.vault.retrieve_password", kNotFound,
                    "getKeychainItem", KeyArgs("k"), kMissing, kBefore},
        FailingStep{"WriteWithoutAVault", "fail.vault.activate", kAccessDenied,
                    "upsertKeychainItem", ItemArgs("k", "after"), WriteFailed(kAccessDenied),
                    kBefore},
        FailingStep{"WriteWithoutACredential", "fail.credential.create", kAccessDenied,
                    "upsertKeychainItem", ItemArgs("k", "after"), WriteFailed(kAccessDenied),
                    kBefore},
        FailingStep{"WriteRefusedByAdd", "fail.vault.add", kAccessDenied, "upsertKeychainItem",
                    ItemArgs("k", "after"), WriteFailed(kAccessDenied), kBefore},
        FailingStep{"BiometricWriteRefusedByAdd", "fail.vault.add", kAccessDenied,
                    "upsertBiometricSecureItem", ItemArgs("k", "after"), WriteFailed(kAccessDenied),
                    kBefore},
        // Creating the vault lies outside the delete's guard: the dispatcher
        // answers, and the runtime's error is not a standard exception.
        FailingStep{"DeleteWithoutAVault", "fail.vault.activate", kAccessDenied,
                    "deleteKeychainItem", KeyArgs("k"),
                    MethodReply::Error("QUILLMAR_NATIVE_CPP_EXCEPTION", "cpp_unknown_exception"),
                    kBefore},
        FailingStep{"DeleteRefusedByRetrieve", "fail.vault.retrieve", kAccessDenied,
                    "deleteKeychainItem", KeyArgs("k"), DeleteFailed(kAccessDenied), kBefore},
        FailingStep{"DeleteRefusedByRemove", "fail.vault.remove", kAccessDenied,
                    "deleteKeychainItem", KeyArgs("k"), DeleteFailed(kAccessDenied), kBefore},
        FailingStep{"DeleteOfAnEntryGoneMeanwhileSucceeds", "fail.vault.remove", kNotFound,
                    "deleteKeychainItem", KeyArgs("k"), kDeleted, kBefore}),
    [](const ::testing::TestParamInfo<FailingStep>& info) { return info.param.name; });

}  // namespace
}  // namespace quillmar::standin_test
