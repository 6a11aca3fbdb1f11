#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include "common/failure_message.h"
#include "platform/fake/fake_system_version.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "plugin/dispatch_table.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using testing::RecordedAnswer;

RecordedAnswer Dispatch(const std::string& method, EncodableValue arguments = EncodableValue()) {
  QuillmarCoreWindows plugin;
  auto [log, result] = testing::MakeRecordingResult();
  plugin.DispatchMethodCall(MethodCall(method, std::make_unique<EncodableValue>(arguments)),
                            std::move(result));
  EXPECT_EQ(log->answers().size(), 1u);
  EXPECT_TRUE(log->released());
  return log->answers().at(0);
}

TEST(DispatchTest, TableHoldsTheTwentyNamesInOrder) {
  const char* expected[] = {"isKeychainSecure",
                            "getBiometryAvailability",
                            "getKeychainItem",
                            "getBiometricSecureItem",
                            "upsertKeychainItem",
                            "upsertBiometricSecureItem",
                            "deleteKeychainItem",
                            "deriveBitsFromPassword",
                            "encryptToStringWithKey",
                            "decryptStringWithKey",
                            "encryptToStringWithPassword",
                            "decryptStringWithPassword",
                            "computePasswordChallengeResponse",
                            "encryptToStringWithPublicKey",
                            "decryptStringWithPrivateKey",
                            "signChallenge",
                            "copySensitiveDataToClipboard",
                            "getDeviceType",
                            "getSystemProxyConfig",
                            "installStoreUpdate"};
  ASSERT_EQ(kDispatchTable.size(), std::size(expected));
  for (size_t i = 0; i < kDispatchTable.size(); ++i) {
    EXPECT_EQ(kDispatchTable[i].method_name, expected[i]);
  }
  EXPECT_EQ(kDispatchTable[4].handler, kDispatchTable[5].handler);
}

TEST(DispatchTest, MethodsWithoutArgumentsDoNotReceiveThem) {
  for (const auto& entry : kDispatchTable) {
    bool takes_none =
        entry.method_name == "isKeychainSecure" || entry.method_name == "getBiometryAvailability" ||
        entry.method_name == "getDeviceType" || entry.method_name == "installStoreUpdate";
    EXPECT_EQ(entry.receives_arguments, !takes_none) << entry.method_name;
  }
}

TEST(DispatchTest, IsKeychainSecureAnswersTheVersionCheckWhateverTheArguments) {
  platform::fake::FakeSystemVersion version(true);
  platform::ScopedOverride<platform::SystemVersion> scope(&version);
  EXPECT_EQ(Dispatch("isKeychainSecure").value, EncodableValue(true));
  EXPECT_EQ(Dispatch("isKeychainSecure", EncodableValue(EncodableList{})).value,
            EncodableValue(true));
  version.set_windows10_or_later(false);
  RecordedAnswer answer = Dispatch("isKeychainSecure", testing::MapArgs({{"x", 1}}));
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_EQ(answer.value, EncodableValue(false));
}

class NearMissNameTest : public ::testing::TestWithParam<std::string> {};

TEST_P(NearMissNameTest, IsNotImplemented) {
  EXPECT_EQ(Dispatch(GetParam()).kind, RecordedAnswer::Kind::kNotImplemented);
}

INSTANTIATE_TEST_SUITE_P(Names, NearMissNameTest,
                         ::testing::Values("", "iskeychainsecure", "isKeychainSecure ",
                                           " isKeychainSecure", "isKeychain", "i",
                                           std::string("isKeychainSecure\0", 17), "unknownMethod"));

// A version check that fails the way the test says.
class ThrowingVersion : public platform::SystemVersion {
 public:
  explicit ThrowingVersion(std::function<void()> fail) : fail_(std::move(fail)) {}
  bool IsAtLeast(uint32_t, uint32_t, uint16_t) override {
    fail_();
    return true;
  }

 private:
  std::function<void()> fail_;
};

struct FailureCase {
  const char* name;
  std::function<void()> fail;
  std::string message;
  friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }
};

class FailureGuardTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureGuardTest, AnswersTheNativeExceptionErrorWithNullDetails) {
  ThrowingVersion version(GetParam().fail);
  platform::ScopedOverride<platform::SystemVersion> scope(&version);
  RecordedAnswer answer = Dispatch("isKeychainSecure");
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
  EXPECT_EQ(answer.message, GetParam().message);
  EXPECT_TRUE(answer.value.IsNull());
}

INSTANTIATE_TEST_SUITE_P(
    Thrown, FailureGuardTest,
    ::testing::Values(
        FailureCase{"StandardException", [] { throw std::runtime_error("boom"); }, "boom"},
        FailureCase{"StdString", [] { throw std::string("thrown text"); }, "thrown text"},
        FailureCase{"CString", [] { throw "c text"; }, "c text"},
        FailureCase{"Integer", [] { throw 42; }, "cpp_unknown_exception"},
        FailureCase{"PlatformError", [] { throw platform::PlatformError(platform::kEFail); },
                    "cpp_unknown_exception"},
        FailureCase{"BadVariantAccess", [] { GetAlternative<std::string>(EncodableValue(1)); },
                    "bad variant access"},
        FailureCase{"StdGetMismatch", [] { (void)std::get<int>(std::variant<int, double>(1.0)); },
                    "bad variant access"},
        FailureCase{"BadAlloc", [] { throw std::bad_alloc(); }, "bad allocation"},
        FailureCase{"SubstringPastTheEnd", [] { (void)std::string("ab").substr(3); },
                    "invalid string position"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar
