// The version check on Windows. Windows reports 10.0 or later only to a
// program whose manifest declares Windows 10 support; Flutter's runner does.
#include <windows.h>

#include "platform/service_registry.h"
#include "platform/system_version.h"

namespace quillmar::platform {
namespace {

class WindowsSystemVersion : public SystemVersion {
 public:
  bool IsAtLeast(uint32_t major, uint32_t minor, uint16_t service_pack_major) override {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    version.wServicePackMajor = service_pack_major;
    ULONGLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              conditions) != FALSE;
  }
};

}  // namespace

template <>
SystemVersion& DefaultService<SystemVersion>() {
  static WindowsSystemVersion service;
  return service;
}

}  // namespace quillmar::platform
