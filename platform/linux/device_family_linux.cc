// The device family on Linux: the kernel's name and the desktop form,
// "Linux.Desktop", after the "Windows.Desktop" of desktop PCs.
#include <sys/utsname.h>

#include <string>

#include "platform/device_family.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

class LinuxVersionInfo : public AnalyticsVersionInfo {
 public:
  PlatformString DeviceFamily() override {
    utsname system{};
    if (uname(&system) != 0) throw PlatformError(kEFail);
    return PlatformString::FromUtf8(std::string(system.sysname) + ".Desktop");
  }
};

class LinuxAnalyticsInfo : public AnalyticsInfo {
 public:
  std::shared_ptr<AnalyticsVersionInfo> VersionInfo() override {
    return std::make_shared<LinuxVersionInfo>();
  }
};

}  // namespace

template <>
AnalyticsInfo& DefaultService<AnalyticsInfo>() {
  static LinuxAnalyticsInfo service;
  return service;
}

}  // namespace quillmar::platform
