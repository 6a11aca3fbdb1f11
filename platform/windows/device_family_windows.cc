// The device family from AnalyticsInfo.VersionInfo, "Windows.Desktop" on a
// desktop PC.
#include <system_profile.h>

#include <memory>

#include "platform/device_family.h"
#include "platform/service_registry.h"
#include "platform/windows/winrt_support.h"

namespace quillmar::platform {
namespace {

namespace profile = ABI::Windows::System::Profile;
using windows::ComPtr;

class WindowsVersionInfo : public AnalyticsVersionInfo {
 public:
  explicit WindowsVersionInfo(ComPtr<profile::IAnalyticsVersionInfo> info)
      : info_(std::move(info)) {}

  PlatformString DeviceFamily() override {
    windows::HString family;
    windows::ThrowIfFailed(info_->get_DeviceFamily(family.put()));
    return windows::ToPlatformString(family.get());
  }

 private:
  ComPtr<profile::IAnalyticsVersionInfo> info_;
};

class WindowsAnalyticsInfo : public AnalyticsInfo {
 public:
  std::shared_ptr<AnalyticsVersionInfo> VersionInfo() override {
    ComPtr<profile::IAnalyticsInfoStatics> statics =
        windows::GetActivationFactory<profile::IAnalyticsInfoStatics>(
            RuntimeClass_Windows_System_Profile_AnalyticsInfo);
    ComPtr<profile::IAnalyticsVersionInfo> info;
    windows::ThrowIfFailed(statics->get_VersionInfo(info.put()));
    if (!info) throw PlatformError(E_POINTER);
    return std::make_shared<WindowsVersionInfo>(std::move(info));
  }
};

}  // namespace

template <>
AnalyticsInfo& DefaultService<AnalyticsInfo>() {
  static WindowsAnalyticsInfo service;
  return service;
}

}  // namespace quillmar::platform
