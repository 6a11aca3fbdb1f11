// A version check that reports what the test sets.
#pragma once

#include <atomic>

#include "platform/system_version.h"

namespace quillmar::platform::fake {

class FakeSystemVersion : public SystemVersion {
 public:
  explicit FakeSystemVersion(bool windows10_or_later = true) : modern_(windows10_or_later) {}
  void set_windows10_or_later(bool modern) { modern_ = modern; }
  bool IsAtLeast(uint32_t major, uint32_t, uint16_t) override { return modern_ || major < 10; }

 private:
  std::atomic<bool> modern_;
};

}  // namespace quillmar::platform::fake
