// Proxy discovery on Linux. The user's settings are the conventional
// environment variables, chosen by the URL's scheme as curl, wget and
// Python's requests choose: SCHEME_proxy (http_proxy for an http URL,
// https_proxy for an https one), then all_proxy, each in lower case before
// upper case; no_proxy is the bypass list. Values are handed on unchanged.
// Only a lookup for a URL can see its scheme, so the variables are what
// discovery finds for it; the user's settings then hold the bypass list
// alone, and there are no configuration scripts.
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "base/utf.h"
#include "platform/proxy_resolver.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

constexpr uint32_t kAccessTypeNamedProxy = 3;  // WINHTTP_ACCESS_TYPE_NAMED_PROXY

// The variable NAME_proxy in lower case, then in upper case; absent when
// neither is set to a text.
ProxyText ReadProxyVariable(const std::string& name) {
  std::string lower = name + "_proxy";
  std::string upper;
  for (char c : lower) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  for (const std::string& variable : {lower, upper}) {
    const char* value = std::getenv(variable.c_str());
    if (value != nullptr && *value != '\0') {
      return base::Utf8ToUtf16(value);
    }
  }
  return std::nullopt;
}

// The URL's scheme in lower case ("https" for "HTTPS://host/"); empty when
// the URL does not start with a scheme followed by "://".
std::string SchemeOf(const std::u16string& url) {
  size_t end = url.find(u"://");
  if (end == 0 || end == std::u16string::npos) return std::string();
  std::string scheme;
  for (size_t i = 0; i < end; ++i) {
    char16_t c = url[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    bool letter = c >= u'a' && c <= u'z';
    bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    if (!letter && !(i > 0 && other)) return std::string();
    scheme += static_cast<char>(c);
  }
  return scheme;
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

  // Discovery is the variables of the URL's scheme; scripts do not exist here.
  bool GetProxyForUrl(InternetHandle, const std::u16string& url, const AutoProxyOptions& options,
                      ProxyInfo* info) override {
    if ((options.flags & kAutoProxyAutoDetect) == 0) return false;
    std::string scheme = SchemeOf(url);
    ProxyText proxy = scheme.empty() ? std::nullopt : ReadProxyVariable(scheme);
    if (!proxy) proxy = ReadProxyVariable("all");
    if (!proxy) return false;
    info->access_type = kAccessTypeNamedProxy;
    info->proxy = std::move(proxy);
    info->proxy_bypass = ReadProxyVariable("no");
    return true;
  }

  bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) override {
    *config = CurrentUserProxyConfig();
    config->proxy_bypass = ReadProxyVariable("no");
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
