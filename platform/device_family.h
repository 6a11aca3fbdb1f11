// The device family (AnalyticsInfo.VersionInfo on Windows).
#pragma once

#include <memory>

#include "platform/platform_string.h"

namespace quillmar::platform {

class AnalyticsVersionInfo {
 public:
  virtual ~AnalyticsVersionInfo() = default;
  // The device family text, "Windows.Desktop" or "Linux.Desktop" for
  // example. Raises a PlatformError when the system cannot tell.
  virtual PlatformString DeviceFamily() = 0;
};

// Callable from any thread.
class AnalyticsInfo {
 public:
  virtual ~AnalyticsInfo() = default;
  // The version information of this device; never null. Raises a
  // PlatformError when the system cannot give it.
  virtual std::shared_ptr<AnalyticsVersionInfo> VersionInfo() = 0;
};

}  // namespace quillmar::platform
