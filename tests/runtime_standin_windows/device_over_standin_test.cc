// "getDeviceType" through the host stand-in over the stand-in's
// AnalyticsInfo: the family as the platform gives it, and true when asking
// fails at any step.
#include <gtest/gtest.h>

#include "tests/runtime_standin_windows/over_standin.h"

namespace quillmar::standin_test {
namespace {

struct DeviceRow {
  const char* name;
  const char* script_key;  // nullptr: none
  const char* script_value;
  EncodableValue answer;
};

void PrintTo(const DeviceRow& row, std::ostream* out) { *out << row.name; }

class DeviceTypeTest : public OverStandIn<::testing::TestWithParam<DeviceRow>> {};

TEST_P(DeviceTypeTest, AnswersTheFamilyOrTrue) {
  const DeviceRow& row = GetParam();
  if (row.script_key != nullptr) standin::Set(row.script_key, row.script_value);
  ExpectReply(Call("getDeviceType"), MethodReply::Success(row.answer));
}

INSTANTIATE_TEST_SUITE_P(
    Families, DeviceTypeTest,
    ::testing::Values(
        DeviceRow{"Desktop", nullptr, nullptr, EncodableValue("Windows.Desktop")},
        DeviceRow{"Mobile", "device.family", "Windows.Mobile", EncodableValue("Windows.Mobile")},
        DeviceRow{"OtherFamily", "device.family", "Windows.Xbox", EncodableValue("Windows.Xbox")},
        DeviceRow{"NoStatics", "fail.analytics.statics", "0x80070005", EncodableValue(true)},
        DeviceRow{"VersionInfoFails", "fail.analytics.version_info", "0x80004005",
                  EncodableValue(true)},
        DeviceRow{"FamilyFails", "fail.analytics.device_family", "0x80070005",
                  EncodableValue(true)}),
    [](const ::testing::TestParamInfo<DeviceRow>& info) { return info.param.name; });

}  // namespace
}  // namespace quillmar::standin_test
