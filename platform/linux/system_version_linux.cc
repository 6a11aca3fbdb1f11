// Linux stands on the modern side of every version line the library draws.
#include "platform/service_registry.h"
#include "platform/system_version.h"

namespace quillmar::platform {
namespace {

class LinuxSystemVersion : public SystemVersion {
 public:
  bool IsAtLeast(uint32_t major, uint32_t, uint16_t) override { return major <= 10; }
};

}  // namespace

template <>
SystemVersion& DefaultService<SystemVersion>() {
  static LinuxSystemVersion service;
  return service;
}

}  // namespace quillmar::platform
