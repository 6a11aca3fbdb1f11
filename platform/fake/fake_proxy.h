// Scripted proxy discovery: what automatic discovery, a configuration
// script and the user's settings give (absent: the call fails), and a
// record of the calls made. Callable from any thread; one mutex guards it.
#pragma once

#include <exception>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/proxy_resolver.h"

namespace quillmar::platform::fake {

class FakeProxyResolver : public ProxyResolver {
 public:
  struct Opened {
    std::u16string user_agent;
    uint32_t access_type;
    uint32_t flags;
  };
  struct Lookup {
    std::u16string url;
    AutoProxyOptions options;
  };

  InternetHandle Open(const std::u16string& user_agent, uint32_t access_type,
                      uint32_t flags) override;
  bool GetProxyForUrl(InternetHandle session, const std::u16string& url,
                      const AutoProxyOptions& options, ProxyInfo* info) override;
  bool GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) override;
  bool CloseHandle(InternetHandle session) override;

  // Scripts; each starts out failing, and Open succeeds.
  void set_open_fails(bool fails);
  void ThrowFromOpen(std::exception_ptr failure);
  void set_discovery(std::optional<ProxyInfo> found);
  void set_script(std::optional<ProxyInfo> found);
  void set_user_settings(std::optional<CurrentUserProxyConfig> settings);

  std::vector<Opened> opened() const;
  std::vector<Lookup> lookups() const;
  int user_settings_reads() const;
  std::vector<InternetHandle> closed() const;

 private:
  static constexpr InternetHandle kSession = 0x5E55;

  mutable std::mutex mutex_;
  bool open_fails_ = false;
  std::exception_ptr open_failure_;
  std::optional<ProxyInfo> discovery_;
  std::optional<ProxyInfo> script_;
  std::optional<CurrentUserProxyConfig> user_settings_;
  std::vector<Opened> opened_;
  std::vector<Lookup> lookups_;
  int user_settings_reads_ = 0;
  std::vector<InternetHandle> closed_;
};

}  // namespace quillmar::platform::fake
