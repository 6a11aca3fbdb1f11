// Prints what the Windows version check reports to this process: whether
// it is at least 10.0, and at least 6.1 (Windows 7).
#include <cstdio>

#include "platform/service_registry.h"
#include "platform/system_version.h"

int main() {
  auto& version = quillmar::platform::Current<quillmar::platform::SystemVersion>();
  std::printf("10.0:%d 6.1:%d\n", version.IsAtLeast(10, 0, 0) ? 1 : 0,
              version.IsAtLeast(6, 1, 0) ? 1 : 0);
  return 0;
}
