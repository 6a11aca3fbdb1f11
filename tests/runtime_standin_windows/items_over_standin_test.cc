// The item methods through the host stand-in, over the real vault backend
// (the stand-in's PasswordVault) and Wine's real credential manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
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
  standin::PutVaultEntry(Entry("k", ""));
  ExpectReply(Call("getKeychainItem", KeyArgs("k")), kMissing);
}

// What Windows answers where the vault refuses or limits an item, and that
// nothing stored before is lost: one table per method. Each row begins
// with our items "k" = "before" and "item 1" .. "item <items - 1>", and
// the entries of other programs.
struct LimitRow {
  const char* name;
  std::vector<std::pair<const char*, const char*>> script;
  int items;
  std::vector<VaultEntry> others;
  EncodableValue arguments;
  MethodReply reply;
  std::vector<VaultEntry> added;  // what the call stores
};

void PrintTo(const LimitRow& row, std::ostream* out) { *out << row.name; }

class ItemLimitTest : public WithLegacyStore<::testing::TestWithParam<LimitRow>> {
 protected:
  void Check(const char* method) {
    const LimitRow& row = GetParam();
    for (auto [key, value] : row.script) standin::Set(key, value);
    std::vector<VaultEntry> ours{Entry("k", "before")};
    for (int i = 1; i < row.items; ++i) {
      ours.push_back(Entry("item " + std::to_string(i), "value " + std::to_string(i)));
    }
    std::vector<VaultEntry> after = ours;
    after.insert(after.end(), row.others.begin(), row.others.end());
    for (const VaultEntry& entry : after) standin::PutVaultEntry(entry);

    ExpectReply(Call(method, row.arguments), row.reply);
    after.insert(after.end(), row.added.begin(), row.added.end());
    std::sort(after.begin(), after.end(), [](const VaultEntry& a, const VaultEntry& b) {
      return std::tie(a.resource, a.user_name) < std::tie(b.resource, b.user_name);
    });
    EXPECT_EQ(standin::VaultEntries(), after);
    for (const VaultEntry& entry : ours) {
      ExpectReply(Call("getKeychainItem", KeyArgs(entry.user_name)), Found(entry.password));
    }
  }
};

constexpr platform::HResult kInvalidArgument = 0x80070057;
constexpr platform::HResult kBadStubData = 0x800706F7;
constexpr platform::HResult kUnspecified = 0x80004005;
const std::string kAtTheLimit(1280, 'x');  // 2560 UTF-16 bytes
const std::vector<VaultEntry> kTheirs{{"quillmar", "theirs", "another program's"}};

class UpsertLimitTest : public ItemLimitTest {};
TEST_P(UpsertLimitTest, AnswersAndKeepsEveryEarlierItem) { Check("upsertKeychainItem"); }
INSTANTIATE_TEST_SUITE_P(
    Windows10, UpsertLimitTest,
    ::testing::Values(
        LimitRow{"EmptyValue", {}, 1, {}, ItemArgs("k", ""), WriteFailed(kInvalidArgument), {}},
        LimitRow{"EmptyKey", {}, 1, {}, ItemArgs("", "v"), WriteFailed(kInvalidArgument), {}},
        LimitRow{"OverTheSizeLimit",
                 {},
                 1,
                 {},
                 ItemArgs("k", kAtTheLimit + "x"),
                 WriteFailed(kBadStubData),
                 {}},
        LimitRow{"AtTheSizeLimit",
                 {},
                 1,
                 {},
                 ItemArgs("new", kAtTheLimit),
                 kStored,
                 {Entry("new", kAtTheLimit)}},
        LimitRow{"TwentyFirstInAnAppContainer",
                 {{"vault.app_container", "1"}},
                 20,
                 {},
                 ItemArgs("new", "v"),
                 WriteFailed(kUnspecified),
                 {}},
        LimitRow{"TwentyFirstOnTheDesktop",
                 {},
                 20,
                 kTheirs,
                 ItemArgs("new", "v"),
                 kStored,
                 {Entry("new", "v")}}),
    [](const ::testing::TestParamInfo<LimitRow>& info) { return info.param.name; });

class ReadLimitTest : public ItemLimitTest {};
TEST_P(ReadLimitTest, AnswersAndKeepsEveryItem) { Check("getKeychainItem"); }
INSTANTIATE_TEST_SUITE_P(
    Windows10, ReadLimitTest,
    ::testing::Values(
        LimitRow{"EmptyKey", {}, 1, {}, KeyArgs(""), ReadFailed(kInvalidArgument), {}},
        LimitRow{"NameDifferingOnlyInCase", {}, 1, {}, KeyArgs("K"), kMissing, {}},
        LimitRow{"OtherProgramsResourceDifferingOnlyInCase",
                 {},
                 1,
                 kTheirs,
                 KeyArgs("theirs"),
                 kMissing,
                 {}}),
    [](const ::testing::TestParamInfo<LimitRow>& info) { return info.param.name; });

class DeleteLimitTest : public ItemLimitTest {};
TEST_P(DeleteLimitTest, AnswersAndKeepsEveryOtherItem) { Check("deleteKeychainItem"); }
INSTANTIATE_TEST_SUITE_P(
    Windows10, DeleteLimitTest,
    ::testing::Values(
        LimitRow{"EmptyKey", {}, 1, {}, KeyArgs(""), DeleteFailed(kInvalidArgument), {}},
        LimitRow{"NameDifferingOnlyInCase", {}, 1, {}, KeyArgs("K"), kDeleted, {}},
        LimitRow{"OtherProgramsResourceDifferingOnlyInCase",
                 {},
                 1,
                 kTheirs,
                 KeyArgs("theirs"),
                 kDeleted,
                 {}}),
    [](const ::testing::TestParamInfo<LimitRow>& info) { return info.param.name; });

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
