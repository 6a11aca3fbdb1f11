// "getDeviceType" and "getSystemProxyConfig": what the machine is and which
// proxy it would use for a URL.
#include <exception>
#include <string>

#include "common/arguments.h"
#include "common/failure_message.h"
#include "common/text.h"
#include "platform/device_family.h"
#include "platform/proxy_resolver.h"
#include "platform/service_registry.h"
#include "services/handlers.h"

namespace quillmar {
namespace {

constexpr char16_t kProxyUserAgent[] = u"Quillmar AutoProxy/1.0";

struct ProxySettings {
  std::string proxy_config;
  std::string proxy_bypass;
};

// Copies each text that the platform filled in, leaving the others as they are.
void CopyFilled(const platform::ProxyText& proxy, const platform::ProxyText& bypass,
                ProxySettings* settings) {
  if (proxy) settings->proxy_config = WideCStringToUtf8(proxy->c_str());
  if (bypass) settings->proxy_bypass = WideCStringToUtf8(bypass->c_str());
}

// Automatic discovery first; then the user's settings, where a configured
// script, whatever it yields, takes the place of the manual proxy.
ProxySettings DiscoverProxy(platform::ProxyResolver& resolver, platform::InternetHandle session,
                            const std::u16string& url) {
  ProxySettings settings;
  platform::ProxyInfo info;
  platform::AutoProxyOptions options;
  options.flags = platform::kAutoProxyAutoDetect;
  options.auto_detect_flags = platform::kAutoDetectTypeDhcp | platform::kAutoDetectTypeDnsA;
  options.auto_logon_if_challenged = true;
  if (resolver.GetProxyForUrl(session, url, options, &info)) {
    CopyFilled(info.proxy, info.proxy_bypass, &settings);
  }
  platform::CurrentUserProxyConfig user;
  if (info.proxy || !resolver.GetIEProxyConfigForCurrentUser(&user)) return settings;
  if (user.auto_config_url) {
    options.flags = platform::kAutoProxyConfigUrl;
    options.auto_detect_flags = 0;
    options.auto_config_url = user.auto_config_url;
    if (resolver.GetProxyForUrl(session, url, options, &info)) {
      CopyFilled(info.proxy, info.proxy_bypass, &settings);
    }
  } else {
    CopyFilled(user.proxy, user.proxy_bypass, &settings);
  }
  return settings;
}

// Closes the session on every way out.
class SessionCloser {
 public:
  SessionCloser(platform::ProxyResolver& resolver, platform::InternetHandle session)
      : resolver_(resolver), session_(session) {}
  ~SessionCloser() { resolver_.CloseHandle(session_); }
  SessionCloser(const SessionCloser&) = delete;
  SessionCloser& operator=(const SessionCloser&) = delete;

 private:
  platform::ProxyResolver& resolver_;
  platform::InternetHandle session_;
};

}  // namespace

void HandleGetDeviceType(const EncodableValue*, std::unique_ptr<MethodResult> result) {
  EncodableValue reply;
  try {
    platform::PlatformString family =
        platform::Current<platform::AnalyticsInfo>().VersionInfo()->DeviceFamily();
    reply = EncodableValue(WideToUtf8(family));
  } catch (...) {
    reply = EncodableValue(true);
  }
  result->Success(reply);
}

void HandleGetSystemProxyConfig(const EncodableValue* arguments,
                                std::unique_ptr<MethodResult> result) {
  EncodableMap reply;
  try {
    std::u16string url(Utf8ToWide(ReadStringArgument("url", arguments)).view());
    platform::ProxyResolver& resolver = platform::Current<platform::ProxyResolver>();
    ProxySettings settings;
    platform::InternetHandle session =
        resolver.Open(kProxyUserAgent, platform::kWinHttpAccessTypeNoProxy, 0);
    if (session != 0) {
      SessionCloser closer(resolver, session);
      settings = DiscoverProxy(resolver, session, url);
    }
    reply = MakeReplyMap({{"success", "true"},
                          {"proxyConfig", settings.proxy_config},
                          {"proxyBypass", settings.proxy_bypass}});
  } catch (...) {
    reply = MakeReplyMap(
        // The dispatcher's texts, but "unknown_error" for what is none of a
        // standard exception, a std::string or a C string.
        {{"success", "false"}, {"error", DescribeCurrentFailure("unknown_error")}});
  }
  result->Success(EncodableValue(std::move(reply)));
}

}  // namespace quillmar
