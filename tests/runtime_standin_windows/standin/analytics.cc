// AnalyticsInfo.VersionInfo and its device family, as the script chooses.
#include <system_profile.h>

#include "factories.h"
#include "object.h"
#include "state.h"

namespace quillmar::standin {
namespace {

namespace profile = ABI::Windows::System::Profile;

class VersionInfo final : public Object<profile::IAnalyticsVersionInfo, IAgileObject> {
 public:
  // AnalyticsVersionInfo.DeviceFamily: "Gets a string that represents the
  // type of device the current OS is running on", for example
  // "Windows.Desktop" or "Windows.Mobile".
  HRESULT STDMETHODCALLTYPE get_DeviceFamily(HSTRING* value) override {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    HRESULT failure = state::Failure("analytics.device_family");
    if (FAILED(failure)) return failure;
    std::string family = state::ScriptValue("device.family").value_or("Windows.Desktop");
    return HandOut(FromUtf8(family), value);
  }

  // AnalyticsVersionInfo.DeviceFamilyVersion: a 64-bit number in decimal,
  // the version's four 16-bit parts from the highest bits down (10.0.19045.0).
  HRESULT STDMETHODCALLTYPE get_DeviceFamilyVersion(HSTRING* value) override {
    unsigned long long version = (10ULL << 48) | (0ULL << 32) | (19045ULL << 16);
    return HandOut(std::to_wstring(version), value);
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.System.Profile.AnalyticsVersionInfo";
  }
};

// AnalyticsInfo is a static class: its factory gives the statics.
class AnalyticsFactory final
    : public Factory<IActivationFactory, profile::IAnalyticsInfoStatics, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance != nullptr) *instance = nullptr;
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_VersionInfo(profile::IAnalyticsVersionInfo** value) override {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    HRESULT failure = state::Failure("analytics.version_info");
    if (FAILED(failure)) return failure;
    *value = Make<VersionInfo>().Detach();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_DeviceForm(HSTRING* value) override {
    return HandOut(L"Unknown", value);
  }

 protected:
  const wchar_t* ClassName() const override { return L"Windows.System.Profile.AnalyticsInfo"; }
};

}  // namespace

IActivationFactory* AnalyticsInfoFactory() {
  static AnalyticsFactory* factory = new AnalyticsFactory();
  return factory;
}

}  // namespace quillmar::standin
