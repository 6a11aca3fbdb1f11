// Proxy discovery (WinHttpOpen, WinHttpGetProxyForUrl,
// WinHttpGetIEProxyConfigForCurrentUser and WinHttpCloseHandle on Windows).
// The records own their texts, so nothing needs GlobalFree; an absent text
// stands for the null pointer WinHTTP leaves in a field it does not fill.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmar::platform {

inline constexpr uint32_t kWinHttpAccessTypeNoProxy = 1;
inline constexpr uint32_t kAutoProxyAutoDetect = 1;
inline constexpr uint32_t kAutoProxyConfigUrl = 2;
inline constexpr uint32_t kAutoDetectTypeDhcp = 1;
inline constexpr uint32_t kAutoDetectTypeDnsA = 2;

using ProxyText = std::optional<std::u16string>;

// WINHTTP_AUTOPROXY_OPTIONS
struct AutoProxyOptions {
  uint32_t flags = 0;
  uint32_t auto_detect_flags = 0;
  ProxyText auto_config_url;
  bool auto_logon_if_challenged = false;
};

// WINHTTP_PROXY_INFO
struct ProxyInfo {
  uint32_t access_type = 0;
  ProxyText proxy;
  ProxyText proxy_bypass;
};

// WINHTTP_CURRENT_USER_IE_PROXY_CONFIG
struct CurrentUserProxyConfig {
  bool auto_detect = false;
  ProxyText auto_config_url;
  ProxyText proxy;
  ProxyText proxy_bypass;
};

// An open session; 0 is no session.
using InternetHandle = uintptr_t;

// Callable from any thread; each call may block on the network.
class ProxyResolver {
 public:
  virtual ~ProxyResolver() = default;
  // Opens a session for `user_agent`; 0 when it cannot.
  virtual InternetHandle Open(const std::u16string& user_agent, uint32_t access_type,
                              uint32_t flags) = 0;
  // Finds the proxy for `url` by `options` (discovery or a configuration
  // script) and fills `*info`; false, leaving `*info` as it was, when the
  // discovery or the script fails.
  virtual bool GetProxyForUrl(InternetHandle session, const std::u16string& url,
                              const AutoProxyOptions& options, ProxyInfo* info) = 0;
  // Fills `*config` with the current user's proxy settings; false when they
  // cannot be read.
  virtual bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) = 0;
  // Closes a session from Open; false for a handle that is not open.
  virtual bool CloseHandle(InternetHandle session) = 0;
};

}  // namespace quillmar::platform
