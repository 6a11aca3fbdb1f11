// Services whose Windows backend is not part of this build yet. Each fails
// with a platform error or status that says so, never with a weaker
// substitute. A backend that lands deletes its entry here.
#include <memory>

#include "platform/clipboard.h"
#include "platform/legacy_credentials.h"
#include "platform/platform_error.h"
#include "platform/proxy_resolver.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

constexpr uint32_t kErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED

[[noreturn]] void NotAvailable(const char16_t* service) {
  throw PlatformError(
      kENotImpl, PlatformString(std::u16string(service) + u" is not available in this build."));
}

// --- legacy credentials (credential manager) ---
class PendingCredentialManager : public CredentialManager {
 public:
  uint32_t Read(const PlatformString&, Buffer*) override { return kErrorNotSupported; }
  uint32_t Write(const PlatformString&, const Buffer&) override { return kErrorNotSupported; }
  uint32_t Delete(const PlatformString&) override { return kErrorNotSupported; }
};

// --- clipboard (Win32) ---
class PendingClipboard : public Clipboard {
 public:
  bool SetContentWithOptions(const DataPackage&, const ClipboardContentOptions&) override {
    NotAvailable(kName);
  }
  std::shared_ptr<DataPackageView> GetContent() override { NotAvailable(kName); }
  void Clear() override { NotAvailable(kName); }

 private:
  static constexpr char16_t kName[] = u"The clipboard";
};

// --- proxy discovery (WinHTTP) ---
class PendingProxyResolver : public ProxyResolver {
 public:
  InternetHandle Open(const std::u16string&, uint32_t, uint32_t) override { return 0; }
  bool GetProxyForUrl(InternetHandle, const std::u16string&, const AutoProxyOptions&,
                      ProxyInfo*) override {
    return false;
  }
  bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig*) override { return false; }
  bool CloseHandle(InternetHandle) override { return false; }
};

}  // namespace

// --- legacy credentials (credential manager) ---
template <>
CredentialManager& DefaultService<CredentialManager>() {
  static PendingCredentialManager service;
  return service;
}

// --- clipboard (Win32) ---
template <>
Clipboard& DefaultService<Clipboard>() {
  static PendingClipboard service;
  return service;
}

// --- proxy discovery (WinHTTP) ---
template <>
ProxyResolver& DefaultService<ProxyResolver>() {
  static PendingProxyResolver service;
  return service;
}

}  // namespace quillmar::platform
