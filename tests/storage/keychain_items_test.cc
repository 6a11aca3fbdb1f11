#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <variant>

#include "common/text.h"
#include "platform/platform_error.h"
#include "plugin/quillmar_core_windows.h"
#include "storage/handlers.h"
#include "tests/storage/store_fixture.h"
#include "tests/support/system_text.h"

namespace quillmar::storage_test {
namespace {

using platform::PlatformError;
using Vault = FakeVault::Op;
using Credentials = FakeCredentialManager::Op;

PlatformError ErrorWithMessage(platform::HResult code, const char16_t* message) {
  return PlatformError(code, platform::PlatformString(message));
}

std::string StepName(const ::testing::TestParamInfo<Vault>& info) {
  switch (info.param) {
    case Vault::kOpen:
      return "Open";
    case Vault::kRetrieve:
      return "Retrieve";
    case Vault::kRetrievePassword:
      return "RetrievePassword";
    case Vault::kAdd:
      return "Add";
    case Vault::kAddIfMissing:
      return "AddIfMissing";
    case Vault::kRemove:
      return "Remove";
  }
  return "Unknown";
}

using ModernStoreTest = StoreTest;

TEST_F(ModernStoreTest, GetAnswersTheVaultValue) {
  PutVault("k", "secret");
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "secret"));
}

TEST_F(ModernStoreTest, GetOfAKeyInNeitherStoreAnswersSuccessWithNullValue) {
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, {}));
}

TEST_F(ModernStoreTest, GetWithoutArgumentsReadsTheEmptyKey) {
  PutVault("", "for the empty key");
  ExpectSuccess(Call(HandleGetKeychainItem, EncodableValue()),
                GetReply({}, true, "for the empty key"));
}

TEST_F(ModernStoreTest, GetMovesALegacyItemIntoTheVault) {
  PutLegacy("k", "old secret");

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "old secret"));

  EXPECT_EQ(VaultValue("k"), "old secret");
  EXPECT_EQ(LegacyBlob("k"), std::nullopt);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "old secret"));
  // The read and the move's check that the copy is still there; none later.
  EXPECT_EQ(credentials_.calls(Credentials::kRead), 2);
}

TEST_F(ModernStoreTest, GetKeepsTheLegacyItemWhenTheVaultRefusesIt) {
  PutLegacy("k", "old secret");
  vault_.FailNext(Vault::kAddIfMissing, PlatformError(platform::kEAccessDenied));

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "old secret"));

  EXPECT_EQ(VaultValue("k"), std::nullopt);
  EXPECT_EQ(LegacyBlob("k"), std::string("old secret\0", 11));
}

TEST_F(ModernStoreTest, GetReadsAnEmptyVaultPasswordAsMissing) {
  PutVault("k", "");
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, {}));
}

TEST_F(ModernStoreTest, GetAnswersAFailingLegacyReadLikeAMissingItem) {
  PutLegacy("k", "old secret");
  credentials_.FailNext(Credentials::kRead, platform::kErrorAccessDenied);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, {}));
}

class VaultFailureTest : public StoreTest, public ::testing::WithParamInterface<Vault> {};

TEST_P(VaultFailureTest, GetReportsTheVaultsMessageInTheReply) {
  PutVault("k", "secret");
  vault_.FailNext(GetParam(),
                  ErrorWithMessage(platform::kEAccessDenied, u"The collection is locked."));
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")),
                GetReply("The collection is locked.", false, {}));
}

INSTANTIATE_TEST_SUITE_P(EachReadStep, VaultFailureTest,
                         ::testing::Values(Vault::kOpen, Vault::kRetrieve,
                                           Vault::kRetrievePassword),
                         StepName);

TEST_F(ModernStoreTest, GetReportsASystemMessageWhenTheErrorHasNoneOfItsOwn) {
  vault_.FailNext(Vault::kRetrieve, PlatformError(platform::kEAccessDenied));
  ExpectSuccess(
      Call(HandleGetKeychainItem, Args("k")),
      GetReply(::quillmar::testing::SystemText(platform::kEAccessDenied, "Access is denied."),
               false, {}));
}

TEST_F(ModernStoreTest, UpsertStoresInTheVaultAndLeavesTheLegacyItemAlone) {
  PutLegacy("k", "legacy");

  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")), UpsertReply({}));

  EXPECT_EQ(VaultValue("k"), "new");
  EXPECT_EQ(LegacyBlob("k"), std::string("legacy\0", 7));
}

TEST_F(ModernStoreTest, UpsertTwiceLeavesOneEntryWithTheSecondValue) {
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "first")), UpsertReply({}));
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "second")), UpsertReply({}));
  EXPECT_EQ(vault_.size(), 1u);
  EXPECT_EQ(VaultValue("k"), "second");
}

// However often the write fails (a failure that breaks the connection breaks
// any put-back too), the previous value stays.
class UpsertWriteFailureTest : public StoreTest, public ::testing::WithParamInterface<int> {};

TEST_P(UpsertWriteFailureTest, KeepsThePreviousValue) {
  PutVault("k", "previous");
  for (int i = 0; i < GetParam(); ++i) {
    vault_.FailNext(Vault::kAdd, ErrorWithMessage(platform::kEFail, u"The vault is full."));
  }

  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")),
                UpsertReply("The vault is full."));

  EXPECT_EQ(VaultValue("k"), "previous");
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "previous"));
}

INSTANTIATE_TEST_SUITE_P(FailuresInARow, UpsertWriteFailureTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 1 ? "WriteFails" : "WriteAndItsPutBackFail";
                         });

// Thrown by a store call to stop a handler there, as if its process died.
struct ProcessDied {};

// A store call at which a handler's process dies.
struct DeathPoint {
  const char* name;
  std::variant<Vault, Credentials> call;
  friend void PrintTo(const DeathPoint& point, std::ostream* out) { *out << point.name; }
};

std::string DeathPointName(const ::testing::TestParamInfo<DeathPoint>& info) {
  return info.param.name;
}

class ProcessDeathTest : public StoreTest, public ::testing::WithParamInterface<DeathPoint> {
 protected:
  // Runs the handler until it ends or its process dies at the first call of
  // the death point; a dead process makes no further call, so every store
  // call after it throws too (also from the handler's own clean-up). True
  // when it died.
  bool RunUntilDeath(MethodHandler handler, const EncodableValue& arguments) {
    auto dead = std::make_shared<bool>(false);
    auto die = [dead] {
      *dead = true;
      throw ProcessDied();
    };
    auto check = [dead] {
      if (*dead) throw ProcessDied();
    };
    constexpr int kCallsChecked = 8;
    for (Vault op : {Vault::kOpen, Vault::kRetrieve, Vault::kRetrievePassword, Vault::kAdd,
                     Vault::kAddIfMissing, Vault::kRemove}) {
      if (GetParam().call == decltype(GetParam().call)(op)) vault_.RunBeforeNext(op, die);
      for (int i = 0; i < kCallsChecked; ++i) vault_.RunBeforeNext(op, check);
    }
    for (Credentials op : {Credentials::kRead, Credentials::kWrite, Credentials::kDelete}) {
      if (GetParam().call == decltype(GetParam().call)(op)) credentials_.RunBeforeNext(op, die);
      for (int i = 0; i < kCallsChecked; ++i) credentials_.RunBeforeNext(op, check);
    }
    auto [log, result] = testing::MakeRecordingResult();
    bool died = false;
    try {
      handler(&arguments, std::move(result));
    } catch (const ProcessDied&) {
      died = true;
    }
    *dead = false;  // the next process lives
    return died;
  }
};

using UpsertDeathTest = ProcessDeathTest;

// Dying anywhere in a replacing upsert leaves the old value or the new one.
TEST_P(UpsertDeathTest, LeavesTheOldOrTheNewValue) {
  PutVault("k", "old");
  bool died = RunUntilDeath(HandleUpsertKeychainItem, Args("k", "new"));
  EXPECT_EQ(VaultValue("k"), died ? "old" : "new");
}

INSTANTIATE_TEST_SUITE_P(EveryVaultCall, UpsertDeathTest,
                         ::testing::Values(DeathPoint{"Open", Vault::kOpen},
                                           DeathPoint{"Retrieve", Vault::kRetrieve},
                                           DeathPoint{"RetrievePassword", Vault::kRetrievePassword},
                                           DeathPoint{"Remove", Vault::kRemove},
                                           DeathPoint{"Add", Vault::kAdd}),
                         DeathPointName);

using DeleteDeathTest = ProcessDeathTest;

// Dying anywhere in a delete leaves the value or nothing; never the legacy
// copy alone, which the next read would move back in.
TEST_P(DeleteDeathTest, NeverBringsTheLegacyCopyBack) {
  PutVault("k", "current");
  PutLegacy("k", "legacy");
  bool died = RunUntilDeath(HandleDeleteKeychainItem, Args("k"));
  EXPECT_TRUE(died);
  RecordedAnswer read = Call(HandleGetKeychainItem, Args("k"));
  EXPECT_TRUE(read.value == GetReply({}, true, "current") || read.value == GetReply({}, true, {}))
      << Show(read.value);
}

INSTANTIATE_TEST_SUITE_P(EveryStoreCall, DeleteDeathTest,
                         ::testing::Values(DeathPoint{"VaultRetrieve", Vault::kRetrieve},
                                           DeathPoint{"VaultRemove", Vault::kRemove},
                                           DeathPoint{"LegacyDelete", Credentials::kDelete}),
                         DeathPointName);

TEST_F(ModernStoreTest, MoveKeepsAnEntryAnotherProcessWroteMeanwhile) {
  PutLegacy("k", "legacy");
  // Another process's upsert lands after this read found the vault empty.
  credentials_.RunBeforeNext(Credentials::kRead, [this] { PutVault("k", "acknowledged"); });

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "legacy"));

  EXPECT_EQ(VaultValue("k"), "acknowledged");
  EXPECT_EQ(LegacyBlob("k"), std::nullopt);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "acknowledged"));
}

// Another process's delete, between this read of the legacy copy and its
// move, removes the copy and finds no vault entry yet: the move must not
// store what was deleted.
TEST_F(ModernStoreTest, MoveDropsALegacyCopyDeletedMeanwhile) {
  PutLegacy("k", "legacy");
  vault_.RunBeforeNext(Vault::kAddIfMissing,
                       [this] { credentials_.Delete(platform::PlatformString(u"Quillmar:k")); });

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "legacy"));

  EXPECT_EQ(VaultValue("k"), std::nullopt);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, {}));
}

TEST_F(ModernStoreTest, MoveLeavesALegacyCopyRewrittenMeanwhileForTheNextRead) {
  PutLegacy("k", "legacy");
  vault_.RunBeforeNext(Vault::kAddIfMissing, [this] { PutLegacy("k", "rewritten"); });

  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "legacy"));

  EXPECT_EQ(VaultValue("k"), std::nullopt);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "rewritten"));
  EXPECT_EQ(VaultValue("k"), "rewritten");
}

TEST_F(ModernStoreTest, UpsertWhoseWriteFailsLeavesANewKeyUnstored) {
  vault_.FailNext(Vault::kAdd, PlatformError(platform::kEOutOfMemory));
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")),
                UpsertReply(::quillmar::testing::SystemText(
                    platform::kEOutOfMemory,
                    "Not enough memory resources are available to complete this operation.")));
  EXPECT_EQ(vault_.size(), 0u);
}

TEST_F(ModernStoreTest, UpsertReplacesAnEntryWhosePasswordCannotBeRead) {
  PutVault("k", "previous");
  vault_.FailNext(Vault::kRetrievePassword, PlatformError(platform::kEFail));
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")), UpsertReply({}));
  EXPECT_EQ(VaultValue("k"), "new");
}

TEST_F(ModernStoreTest, UpsertReportsAVaultThatCannotBeCreated) {
  vault_.FailNext(Vault::kOpen, PlatformError(platform::kEAccessDenied));
  ExpectSuccess(
      Call(HandleUpsertKeychainItem, Args("k", "new")),
      UpsertReply(::quillmar::testing::SystemText(platform::kEAccessDenied, "Access is denied.")));
}

TEST_F(ModernStoreTest, DeleteRemovesTheItemFromBothStores) {
  PutVault("k", "vault");
  PutLegacy("k", "legacy");
  PutVault("other", "kept");

  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("k")), DeleteReply({}));

  EXPECT_EQ(VaultValue("k"), std::nullopt);
  EXPECT_EQ(LegacyBlob("k"), std::nullopt);
  EXPECT_EQ(VaultValue("other"), "kept");
}

class VaultRemovalFailureTest : public StoreTest, public ::testing::WithParamInterface<Vault> {};

TEST_P(VaultRemovalFailureTest, DeleteReportsTheFailureAndStillDeletesTheLegacyItem) {
  PutVault("k", "vault");
  PutLegacy("k", "legacy");
  vault_.FailNext(GetParam(), PlatformError(platform::kEAccessDenied));

  ExpectSuccess(
      Call(HandleDeleteKeychainItem, Args("k")),
      DeleteReply(::quillmar::testing::SystemText(platform::kEAccessDenied, "Access is denied.")));

  EXPECT_EQ(VaultValue("k"), "vault");
  EXPECT_EQ(LegacyBlob("k"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(EachRemovalStep, VaultRemovalFailureTest,
                         ::testing::Values(Vault::kRetrieve, Vault::kRemove), StepName);

TEST_F(ModernStoreTest, DeleteLeavesAVaultThatCannotBeCreatedToTheDispatcher) {
  PutLegacy("k", "legacy");
  vault_.FailNext(Vault::kOpen, PlatformError(platform::kEAccessDenied));
  QuillmarCoreWindows plugin;
  auto [log, result] = testing::MakeRecordingResult();

  plugin.DispatchMethodCall(
      MethodCall("deleteKeychainItem", std::make_unique<EncodableValue>(Args("k"))),
      std::move(result));

  ASSERT_EQ(log->answers().size(), 1u);
  EXPECT_EQ(log->answers()[0].kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(log->answers()[0].code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
  EXPECT_EQ(log->answers()[0].message, "cpp_unknown_exception");
  EXPECT_TRUE(log->answers()[0].value.IsNull());
  EXPECT_EQ(LegacyBlob("k"), std::string("legacy\0", 7));
}

TEST_F(ModernStoreTest, NonAsciiKeyMovesAndDeletesUnderOneTargetName) {
  PutLegacy("ключ", "значение");

  ExpectSuccess(Call(HandleGetKeychainItem, Args("ключ")), GetReply({}, true, "значение"));
  EXPECT_EQ(credentials_.target_names(), std::vector<std::u16string>{});

  PutLegacy("ключ", "again");
  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("ключ")), DeleteReply({}));
  EXPECT_EQ(credentials_.target_names(), std::vector<std::u16string>{});
}

// Before Windows 10 items live in the credential manager alone.
class LegacyStoreTest : public StoreTest {
 protected:
  LegacyStoreTest() { version_.set_windows10_or_later(false); }
};

TEST_F(LegacyStoreTest, GetAnswersTheCredentialsValueWithoutTouchingTheVault) {
  PutLegacy("k", "secret");
  PutVault("k", "vault");
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "secret"));
  EXPECT_EQ(LegacyBlob("k"), std::string("secret\0", 7));
  EXPECT_EQ(vault_.calls(Vault::kRetrieve), 0);
}

TEST_F(LegacyStoreTest, GetOfAMissingKeyAnswersSuccessWithNullValue) {
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, {}));
}

TEST_F(LegacyStoreTest, GetReportsAFailingReadWithItsStatus) {
  PutLegacy("k", "secret");
  credentials_.FailNext(Credentials::kRead, 5);
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")),
                GetReply("get_keychain_item_error status was 5", false, {}));
}

TEST_F(LegacyStoreTest, GetStopsAtTheFirstZeroByteAndAtTheBlobsEnd) {
  credentials_.Put(Utf8ToWide("Quillmar:k"), platform::Buffer({'a', 'b', 0, 'c'}));
  credentials_.Put(Utf8ToWide("Quillmar:unterminated"), platform::Buffer({'x', 'y'}));
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "ab"));
  ExpectSuccess(Call(HandleGetKeychainItem, Args("unterminated")), GetReply({}, true, "xy"));
}

TEST_F(LegacyStoreTest, UpsertWritesTheValueWithATerminatorAndDeletesNothing) {
  PutLegacy("k", "previous");
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")), UpsertReply({}));
  EXPECT_EQ(LegacyBlob("k"), std::string("new\0", 4));
  EXPECT_EQ(credentials_.calls(Credentials::kDelete), 0);
  EXPECT_EQ(vault_.size(), 0u);
}

TEST_F(LegacyStoreTest, ValueWithAZeroByteIsStoredAndReadCutAtIt) {
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", std::string("ab\0cd", 5))),
                UpsertReply({}));
  EXPECT_EQ(LegacyBlob("k"), std::string("ab\0", 3));
  ExpectSuccess(Call(HandleGetKeychainItem, Args("k")), GetReply({}, true, "ab"));
}

TEST_F(LegacyStoreTest, UpsertWhoseWriteFailsKeepsThePreviousValue) {
  PutLegacy("k", "previous");
  credentials_.FailNext(Credentials::kWrite, 1312);
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("k", "new")),
                UpsertReply("write failed with error 1312"));
  EXPECT_EQ(LegacyBlob("k"), std::string("previous\0", 9));
}

TEST_F(LegacyStoreTest, DeleteRemovesTheCredential) {
  PutLegacy("k", "secret");
  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("k")), DeleteReply({}));
  EXPECT_EQ(LegacyBlob("k"), std::nullopt);
}

TEST_F(LegacyStoreTest, DeleteReportsAFailureWithItsStatus) {
  PutLegacy("k", "secret");
  credentials_.FailNext(Credentials::kDelete, 5);
  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("k")),
                DeleteReply("delete_keychain_item_error status was 5"));
}

TEST_F(LegacyStoreTest, NonAsciiKeyIsWrittenReadAndDeletedUnderOneTargetName) {
  ExpectSuccess(Call(HandleUpsertKeychainItem, Args("ключ", "значение")), UpsertReply({}));
  EXPECT_EQ(credentials_.target_names(), std::vector<std::u16string>{u"Quillmar:ключ"});
  ExpectSuccess(Call(HandleGetKeychainItem, Args("ключ")), GetReply({}, true, "значение"));
  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("ключ")), DeleteReply({}));
  EXPECT_EQ(credentials_.target_names(), std::vector<std::u16string>{});
}

class DeleteOfMissingKeyTest : public StoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DeleteOfMissingKeyTest, AnswersSuccessOnce) {
  version_.set_windows10_or_later(GetParam());
  ExpectSuccess(Call(HandleDeleteKeychainItem, Args("missing")), DeleteReply({}));
}

INSTANTIATE_TEST_SUITE_P(BothSidesOfWindows10, DeleteOfMissingKeyTest, ::testing::Bool());

}  // namespace
}  // namespace quillmar::storage_test
