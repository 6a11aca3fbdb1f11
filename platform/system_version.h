// The system version check (VerifyVersionInfoW on Windows).
#pragma once

#include <cstdint>

namespace quillmar::platform {

class SystemVersion {
 public:
  virtual ~SystemVersion() = default;
  // True when the system's version is at least major.minor with at least the
  // given service pack. Never fails; callable from any thread.
  virtual bool IsAtLeast(uint32_t major, uint32_t minor, uint16_t service_pack_major) = 0;
};

}  // namespace quillmar::platform
