#include "platform/fake/fake_device_family.h"

namespace quillmar::platform::fake {
namespace {

class FakeVersionInfo : public AnalyticsVersionInfo {
 public:
  FakeVersionInfo(PlatformString family, std::optional<PlatformError> failure)
      : family_(std::move(family)), failure_(std::move(failure)) {}

  PlatformString DeviceFamily() override {
    if (failure_) throw *failure_;
    return family_;
  }

 private:
  PlatformString family_;
  std::optional<PlatformError> failure_;
};

}  // namespace

FakeAnalyticsInfo::FakeAnalyticsInfo(PlatformString family) : family_(std::move(family)) {}

std::shared_ptr<AnalyticsVersionInfo> FakeAnalyticsInfo::VersionInfo() {
  std::lock_guard lock(mutex_);
  if (version_info_failure_) throw *version_info_failure_;
  return std::make_shared<FakeVersionInfo>(family_, device_family_failure_);
}

void FakeAnalyticsInfo::set_device_family(PlatformString family) {
  std::lock_guard lock(mutex_);
  family_ = std::move(family);
}

void FakeAnalyticsInfo::FailVersionInfo(PlatformError error) {
  std::lock_guard lock(mutex_);
  version_info_failure_.emplace(std::move(error));
}

void FakeAnalyticsInfo::FailDeviceFamily(PlatformError error) {
  std::lock_guard lock(mutex_);
  device_family_failure_.emplace(std::move(error));
}

}  // namespace quillmar::platform::fake
