// Platform error texts on Windows: the system's message for the code, or
// the restricted description recorded for that same code.
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "platform/platform_error.h"
#include "platform/windows/windows_error.h"
#include "tests/support/windows_process.h"

namespace quillmar::platform {
namespace {

struct MessageCase {
  const char* name;
  HResult code;
  const char* windows;  // Windows' wording
  const char* wine;     // Wine 8's wording
};

class SystemMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(SystemMessages, TextIsTheSystemsWithoutTrailingLineEnd) {
  const MessageCase& test = GetParam();
  EXPECT_EQ(PlatformErrorMessage(PlatformError(test.code)),
            testing::RunningUnderWine() ? test.wine : test.windows);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SystemMessages,
    ::testing::Values(
        MessageCase{"NotFound", kENotFound, "Element not found.", "Element not found."},
        MessageCase{"AccessDenied", kEAccessDenied, "Access is denied.", "Access denied."},
        MessageCase{"InvalidArgument", kEInvalidArg, "The parameter is incorrect.",
                    "Invalid parameter."},
        // WinHTTP's texts live in winhttp.dll, not in the system's table.
        MessageCase{"NoSystemText", static_cast<HResult>(0x80072EE7), "", ""}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

TEST(RestrictedErrors, DescriptionCountsOnlyForItsOwnCode) {
  EXPECT_EQ(PlatformErrorMessage(PlatformError(kEFail, PlatformString(u"Vault is locked"))),
            "Vault is locked");
  EXPECT_EQ(
      PlatformErrorMessage(PlatformError(kENotFound, kEFail, PlatformString(u"Vault is locked"))),
      "Element not found.");
}

TEST(RestrictedErrors, FailureWithoutRecordedInformationUsesTheSystemText) {
  // Nothing on this thread recorded restricted information (and Wine's
  // GetRestrictedErrorInfo is a stub): the system text stands.
  PlatformError error = windows::ErrorFromHResult(kENotFound);
  EXPECT_EQ(error.code(), kENotFound);
  EXPECT_EQ(PlatformErrorMessage(error), "Element not found.");
}

TEST(Win32Errors, LastErrorBecomesItsHResult) {
  SetLastError(1168);  // ERROR_NOT_FOUND
  EXPECT_EQ(windows::LastWin32Error().code(), kENotFound);
  SetLastError(0);
  EXPECT_EQ(windows::LastWin32Error().code(), kEFail);
}

}  // namespace
}  // namespace quillmar::platform
