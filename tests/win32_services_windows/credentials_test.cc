// The Win32 credential manager backend against the real store, with a
// second process (win32_probe.exe) reading and writing the same
// credentials straight through CredReadW/CredWriteW/CredDeleteW.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "platform/fake/fake_system_version.h"
#include "platform/fake/fake_vault.h"
#include "platform/legacy_credentials.h"
#include "platform/service_registry.h"
#include "storage/handlers.h"
#include "tests/support/recording_result.h"
#include "tests/win32_services_windows/probe_process.h"

namespace quillmar::windows_test {
namespace {

using platform::Buffer;
using platform::PlatformString;
using testing::MapArgs;

platform::CredentialManager& Credentials() {
  return platform::DefaultService<platform::CredentialManager>();
}

Buffer BytesOf(std::string_view text) {
  return Buffer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string TextOf(const Buffer& blob) {
  return std::string(reinterpret_cast<const char*>(blob.data()), blob.size());
}

ProbeOutput ProbeRead(std::u16string_view target) {
  return RunProbe({"cred-read", HexOfUnits(target)});
}

void ProbeWrite(std::u16string_view target, std::string_view blob) {
  ASSERT_EQ(RunProbe({"cred-write", HexOfUnits(target), HexOfBytes(blob)})["status"], "0");
}

void ProbeDelete(std::u16string_view target) { RunProbe({"cred-delete", HexOfUnits(target)}); }

struct StoredItem {
  const char* name;
  std::u16string target;  // as the system lists it
  std::string value;
};

void PrintTo(const StoredItem& item, std::ostream* out) { *out << item.name; }

class CredentialAcrossProcessesTest : public ::testing::TestWithParam<StoredItem> {};

TEST_P(CredentialAcrossProcessesTest, StoredReadReplacedAndDeleted) {
  const StoredItem& item = GetParam();
  PlatformString target(item.target);
  ProbeDelete(item.target);

  ASSERT_EQ(Credentials().Write(target, BytesOf(item.value)), platform::kErrorSuccess);
  ProbeOutput seen = ProbeRead(item.target);
  EXPECT_EQ(seen["status"], "0");
  EXPECT_EQ(seen["type"], "1");     // CRED_TYPE_GENERIC
  EXPECT_EQ(seen["persist"], "2");  // CRED_PERSIST_LOCAL_MACHINE
  EXPECT_EQ(seen["flags"], "0");
  EXPECT_EQ(seen["blob"], HexOfBytes(item.value));

  ProbeWrite(item.target, "from the other process");
  Buffer blob;
  ASSERT_EQ(Credentials().Read(target, &blob), platform::kErrorSuccess);
  EXPECT_EQ(TextOf(blob), "from the other process");

  EXPECT_EQ(Credentials().Delete(target), platform::kErrorSuccess);
  EXPECT_EQ(ProbeRead(item.target)["status"], "1168");
  EXPECT_EQ(Credentials().Read(target, &blob), platform::kErrorNotFound);
  EXPECT_EQ(Credentials().Delete(target), platform::kErrorNotFound);
}

INSTANTIATE_TEST_SUITE_P(
    Items, CredentialAcrossProcessesTest,
    ::testing::Values(StoredItem{"Ascii", u"Quillmar:site/user", "hunter2"},
                      StoredItem{"NonAsciiKeyAndValue", u"Quillmar:caf\u00E9 \u65E5\u672C",
                                 "v\xC3\xA4lue \xE2\x82\xAC"},
                      StoredItem{"SurrogatePairs", u"Quillmar:\U0001F511", "\xF0\x9F\x94\x91"},
                      StoredItem{"ZeroByteInValue", u"Quillmar:zero", std::string("ab\0cd", 5)},
                      StoredItem{"EmptyValue", u"Quillmar:empty", ""}),
    [](const ::testing::TestParamInfo<StoredItem>& info) { return info.param.name; });

TEST(CredentialManagerTest, MissingCredentialIsNotFound) {
  Buffer blob;
  EXPECT_EQ(Credentials().Read(PlatformString(u"Quillmar:never stored"), &blob),
            platform::kErrorNotFound);
  EXPECT_EQ(Credentials().Delete(PlatformString(u"Quillmar:never stored")),
            platform::kErrorNotFound);
}

// The system would read the name only up to the zero, which is another
// key's credential.
TEST(CredentialManagerTest, NameWithAZeroIsRefused) {
  ProbeWrite(u"Quillmar:a", "a's value");
  PlatformString target(std::u16string(u"Quillmar:a\0b", 12));
  Buffer blob;
  EXPECT_EQ(Credentials().Read(target, &blob), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Credentials().Write(target, BytesOf("b")),
            static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Credentials().Delete(target), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ProbeRead(u"Quillmar:a")["blob"], HexOfBytes("a's value"));
  ProbeDelete(u"Quillmar:a");
}

// The item handlers over the real credential manager; the version check
// and (from Windows 10) the vault are fakes.
class LegacyItemsTest : public ::testing::Test {
 protected:
  EncodableValue Call(void (*handler)(const EncodableValue*, std::unique_ptr<MethodResult>),
                      const EncodableValue& arguments) {
    auto [log, result] = testing::MakeRecordingResult();
    handler(&arguments, std::move(result));
    std::vector<testing::RecordedAnswer> answers = log->answers();
    EXPECT_EQ(answers.size(), 1u);
    if (answers.size() != 1 || answers[0].kind != testing::RecordedAnswer::Kind::kSuccess) {
      return EncodableValue("no single success");
    }
    return answers[0].value;
  }

  static EncodableValue GetReply(const char* value) {
    return MapArgs({{"error", EncodableValue()},
                    {"success", true},
                    {"itemValue", value ? EncodableValue(value) : EncodableValue()}});
  }

  std::optional<PlatformString> VaultValue(std::u16string_view key) {
    return vault_.Find(PlatformString(u"Quillmar"), PlatformString(key));
  }

  platform::fake::FakeSystemVersion version_{false};
  platform::fake::FakeVault vault_;
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
  platform::ScopedOverride<platform::PasswordVault> vault_override_{&vault_};
};

TEST_F(LegacyItemsTest, BeforeWindows10AValueIsCutAtItsZeroByte) {
  std::string value("ab\0cd", 5);
  EXPECT_EQ(Call(HandleUpsertKeychainItem, MapArgs({{"itemKey", "cut"}, {"itemValue", value}})),
            MapArgs({{"error", EncodableValue()}, {"status", "ok"}}));
  EXPECT_EQ(ProbeRead(u"Quillmar:cut")["blob"], "616200");
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", "cut"}})), GetReply("ab"));

  EXPECT_EQ(Call(HandleDeleteKeychainItem, MapArgs({{"itemKey", "cut"}})),
            MapArgs({{"error", EncodableValue()}, {"success", true}}));
  EXPECT_EQ(ProbeRead(u"Quillmar:cut")["status"], "1168");
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", "cut"}})), GetReply(nullptr));
  EXPECT_EQ(Call(HandleDeleteKeychainItem, MapArgs({{"itemKey", "cut"}})),
            MapArgs({{"error", EncodableValue()}, {"success", true}}));
}

TEST_F(LegacyItemsTest, BeforeWindows10NonAsciiItemsAreNamedByTheirUtf16Text) {
  EXPECT_EQ(Call(HandleUpsertKeychainItem,
                 MapArgs({{"itemKey", "\xC3\xBC\xF0\x9F\x94\x91"}, {"itemValue", "\xE2\x82\xAC"}})),
            MapArgs({{"error", EncodableValue()}, {"status", "ok"}}));
  EXPECT_EQ(ProbeRead(u"Quillmar:\u00FC\U0001F511")["blob"], "e282ac00");
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", "\xC3\xBC\xF0\x9F\x94\x91"}})),
            GetReply("\xE2\x82\xAC"));
  Call(HandleDeleteKeychainItem, MapArgs({{"itemKey", "\xC3\xBC\xF0\x9F\x94\x91"}}));
  EXPECT_EQ(ProbeRead(u"Quillmar:\u00FC\U0001F511")["status"], "1168");
}

TEST_F(LegacyItemsTest, BeforeWindows10AKeyWithAZeroIsNotWrittenOverAShorterKey) {
  ProbeWrite(u"Quillmar:a", std::string("a's value\0", 10));
  EncodableValue reply = Call(HandleUpsertKeychainItem,
                              MapArgs({{"itemKey", std::string("a\0b", 3)}, {"itemValue", "b"}}));
  EXPECT_EQ(reply, MapArgs({{"error", "write failed with error 87"}, {"status", "error"}}));
  EXPECT_EQ(ProbeRead(u"Quillmar:a")["blob"], HexOfBytes(std::string("a's value\0", 10)));
  ProbeDelete(u"Quillmar:a");
}

TEST_F(LegacyItemsTest, FromWindows10AReadMovesTheCredentialIntoTheVault) {
  version_.set_windows10_or_later(true);
  ProbeWrite(u"Quillmar:moving", std::string("old secret\0", 11));

  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", "moving"}})), GetReply("old secret"));

  EXPECT_EQ(VaultValue(u"moving"), PlatformString(u"old secret"));
  EXPECT_EQ(ProbeRead(u"Quillmar:moving")["status"], "1168");
}

TEST_F(LegacyItemsTest, FromWindows10AFailedMoveLeavesTheCredential) {
  version_.set_windows10_or_later(true);
  ProbeWrite(u"Quillmar:staying", std::string("old secret\0", 11));
  vault_.FailNext(platform::fake::FakeVault::Op::kAddIfMissing,
                  platform::PlatformError(platform::kEAccessDenied));

  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", "staying"}})), GetReply("old secret"));

  EXPECT_EQ(VaultValue(u"staying"), std::nullopt);
  EXPECT_EQ(ProbeRead(u"Quillmar:staying")["blob"], HexOfBytes(std::string("old secret\0", 11)));
  ProbeDelete(u"Quillmar:staying");
}

// Older versions named credentials through the thread's ANSI code page:
// under Windows-1252 the key "café" (UTF-8 63 61 66 C3 A9) became
// "cafÃ©". Such credentials are read, moved and deleted with the item.
class AnsiNamedItemsTest : public LegacyItemsTest {
 protected:
  static constexpr char16_t kAnsiName[] = u"Quillmar:caf\u00C3\u00A9";
  static constexpr char kKey[] = "caf\xC3\xA9";

  void SetUp() override {
    if (GetACP() != 1252) GTEST_SKIP() << "needs Windows-1252 as the ANSI code page";
    ProbeWrite(kAnsiName, std::string("old\0", 4));
  }
  void TearDown() override { ProbeDelete(kAnsiName); }
};

TEST_F(AnsiNamedItemsTest, BeforeWindows10TheOlderNameIsReadAndDeleted) {
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", kKey}})), GetReply("old"));
  EXPECT_EQ(Call(HandleDeleteKeychainItem, MapArgs({{"itemKey", kKey}})),
            MapArgs({{"error", EncodableValue()}, {"success", true}}));
  EXPECT_EQ(ProbeRead(kAnsiName)["status"], "1168");
}

TEST_F(AnsiNamedItemsTest, BeforeWindows10AnUpsertReplacesTheOlderName) {
  Call(HandleUpsertKeychainItem, MapArgs({{"itemKey", kKey}, {"itemValue", "new"}}));
  EXPECT_EQ(ProbeRead(kAnsiName)["status"], "1168");
  EXPECT_EQ(ProbeRead(u"Quillmar:caf\u00E9")["blob"], "6e657700");
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", kKey}})), GetReply("new"));
  ProbeDelete(u"Quillmar:caf\u00E9");
}

TEST_F(AnsiNamedItemsTest, FromWindows10TheOlderNameIsMovedIntoTheVault) {
  version_.set_windows10_or_later(true);
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", kKey}})), GetReply("old"));
  EXPECT_EQ(VaultValue(u"caf\u00E9"), PlatformString(u"old"));
  EXPECT_EQ(ProbeRead(kAnsiName)["status"], "1168");
}

TEST_F(AnsiNamedItemsTest, TheUtf8NameIsReadFirst) {
  ProbeWrite(u"Quillmar:caf\u00E9", std::string("current\0", 8));
  EXPECT_EQ(Call(HandleGetKeychainItem, MapArgs({{"itemKey", kKey}})), GetReply("current"));
  ProbeDelete(u"Quillmar:caf\u00E9");
}

}  // namespace
}  // namespace quillmar::windows_test
