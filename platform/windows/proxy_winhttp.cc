// Proxy discovery through WinHTTP. The texts WinHTTP hands out are copied
// into the records and released with GlobalFree on every way out.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "platform/proxy_resolver.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

ProxyText CopyText(const wchar_t* text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// Owns texts WinHTTP allocated; frees each one not yet freed.
class GlobalTexts {
 public:
  GlobalTexts() = default;
  GlobalTexts(const GlobalTexts&) = delete;
  GlobalTexts& operator=(const GlobalTexts&) = delete;
  ~GlobalTexts() {
    for (wchar_t* text : texts_) {
      if (text != nullptr) GlobalFree(text);
    }
  }
  void Hold(wchar_t* text, size_t slot) { texts_[slot] = text; }

 private:
  wchar_t* texts_[3] = {nullptr, nullptr, nullptr};
};

class WinHttpProxyResolver : public ProxyResolver {
 public:
  InternetHandle Open(const std::u16string& user_agent, uint32_t access_type,
                      uint32_t flags) override {
    HINTERNET session = WinHttpOpen(Wide(user_agent), access_type, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, flags);
    return reinterpret_cast<InternetHandle>(session);
  }

  bool GetProxyForUrl(InternetHandle session, const std::u16string& url,
                      const AutoProxyOptions& options, ProxyInfo* info) override {
    WINHTTP_AUTOPROXY_OPTIONS native{};
    native.dwFlags = options.flags;
    native.dwAutoDetectFlags = options.auto_detect_flags;
    native.lpszAutoConfigUrl = options.auto_config_url ? Wide(*options.auto_config_url) : nullptr;
    native.fAutoLogonIfChallenged = options.auto_logon_if_challenged ? TRUE : FALSE;
    WINHTTP_PROXY_INFO found{};
    GlobalTexts texts;
    BOOL ok =
        WinHttpGetProxyForUrl(reinterpret_cast<HINTERNET>(session), Wide(url), &native, &found);
    texts.Hold(found.lpszProxy, 0);
    texts.Hold(found.lpszProxyBypass, 1);
    if (!ok) return false;
    ProxyInfo copied;
    copied.access_type = found.dwAccessType;
    copied.proxy = CopyText(found.lpszProxy);
    copied.proxy_bypass = CopyText(found.lpszProxyBypass);
    *info = std::move(copied);
    return true;
  }

  bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) override {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG found{};
    GlobalTexts texts;
    BOOL ok = WinHttpGetIEProxyConfigForCurrentUser(&found);
    texts.Hold(found.lpszAutoConfigUrl, 0);
    texts.Hold(found.lpszProxy, 1);
    texts.Hold(found.lpszProxyBypass, 2);
    if (!ok) return false;
    CurrentUserProxyConfig copied;
    copied.auto_detect = found.fAutoDetect != FALSE;
    copied.auto_config_url = CopyText(found.lpszAutoConfigUrl);
    copied.proxy = CopyText(found.lpszProxy);
    copied.proxy_bypass = CopyText(found.lpszProxyBypass);
    *config = std::move(copied);
    return true;
  }

  bool CloseHandle(InternetHandle session) override {
    return session != 0 && WinHttpCloseHandle(reinterpret_cast<HINTERNET>(session)) != FALSE;
  }
};

}  // namespace

template <>
ProxyResolver& DefaultService<ProxyResolver>() {
  static WinHttpProxyResolver service;
  return service;
}

}  // namespace quillmar::platform
