// Proxy discovery on Linux. The user's settings are the conventional
// environment variables: the first of https_proxy, http_proxy and all_proxy
// that is set is the proxy, no_proxy the bypass list, each in lower or upper
// case (lower first) and handed on unchanged. There is no automatic
// discovery or configuration script here, so both report failure.
#include <cstdlib>
#include <mutex>
#include <set>

#include "base/utf.h"
#include "platform/proxy_resolver.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

// The variable's value in lower case, then in upper case; absent when
// neither is set to a text.
ProxyText ReadProxyVariable(const char* lower, const char* upper) {
  for (const char* name : {lower, upper}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return base::Utf8ToUtf16(value);
    }
  }
  return std::nullopt;
}

// Sessions are counted handles; they hold nothing.
class LinuxProxyResolver : public ProxyResolver {
 public:
  InternetHandle Open(const std::u16string&, uint32_t, uint32_t) override {
    std::lock_guard lock(mutex_);
    InternetHandle session = next_session_++;
    open_.insert(session);
    return session;
  }

  // Neither discovery nor scripts exist here.
  bool GetProxyForUrl(InternetHandle, const std::u16string&, const AutoProxyOptions&,
                      ProxyInfo*) override {
    return false;
  }

  bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) override {
    *config = CurrentUserProxyConfig();
    config->proxy = ReadProxyVariable("https_proxy", "HTTPS_PROXY");
    if (!config->proxy) config->proxy = ReadProxyVariable("http_proxy", "HTTP_PROXY");
    if (!config->proxy) config->proxy = ReadProxyVariable("all_proxy", "ALL_PROXY");
    config->proxy_bypass = ReadProxyVariable("no_proxy", "NO_PROXY");
    return true;
  }

  bool CloseHandle(InternetHandle session) override {
    std::lock_guard lock(mutex_);
    return open_.erase(session) != 0;
  }

 private:
  std::mutex mutex_;
  InternetHandle next_session_ = 1;
  std::set<InternetHandle> open_;
};

}  // namespace

template <>
ProxyResolver& DefaultService<ProxyResolver>() {
  static LinuxProxyResolver service;
  return service;
}

}  // namespace quillmar::platform
