// A device family that reports what the test sets, or fails where it says.
#pragma once

#include <mutex>
#include <optional>

#include "platform/device_family.h"
#include "platform/platform_error.h"

namespace quillmar::platform::fake {

class FakeAnalyticsInfo : public AnalyticsInfo {
 public:
  explicit FakeAnalyticsInfo(PlatformString family = PlatformString(u"Windows.Desktop"));

  std::shared_ptr<AnalyticsVersionInfo> VersionInfo() override;

  void set_device_family(PlatformString family);
  // VersionInfo raises `error`.
  void FailVersionInfo(PlatformError error);
  // DeviceFamily raises `error`.
  void FailDeviceFamily(PlatformError error);

 private:
  std::mutex mutex_;
  PlatformString family_;
  std::optional<PlatformError> version_info_failure_;
  std::optional<PlatformError> device_family_failure_;
};

}  // namespace quillmar::platform::fake
