#include "platform/fake/fake_proxy.h"

namespace quillmar::platform::fake {

InternetHandle FakeProxyResolver::Open(const std::u16string& user_agent, uint32_t access_type,
                                       uint32_t flags) {
  std::lock_guard lock(mutex_);
  if (open_failure_) std::rethrow_exception(open_failure_);
  opened_.push_back({user_agent, access_type, flags});
  return open_fails_ ? 0 : kSession;
}

bool FakeProxyResolver::GetProxyForUrl(InternetHandle session, const std::u16string& url,
                                       const AutoProxyOptions& options, ProxyInfo* info) {
  std::lock_guard lock(mutex_);
  lookups_.push_back({url, options});
  const std::optional<ProxyInfo>& found =
      options.flags == kAutoProxyConfigUrl ? script_ : discovery_;
  if (session != kSession || !found) return false;
  *info = *found;
  return true;
}

bool FakeProxyResolver::GetIEProxyConfigForCurrentUser(CurrentUserProxyConfig* config) {
  std::lock_guard lock(mutex_);
  ++user_settings_reads_;
  if (!user_settings_) return false;
  *config = *user_settings_;
  return true;
}

bool FakeProxyResolver::CloseHandle(InternetHandle session) {
  std::lock_guard lock(mutex_);
  closed_.push_back(session);
  return session == kSession;
}

void FakeProxyResolver::set_open_fails(bool fails) {
  std::lock_guard lock(mutex_);
  open_fails_ = fails;
}

void FakeProxyResolver::ThrowFromOpen(std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  open_failure_ = std::move(failure);
}

void FakeProxyResolver::set_discovery(std::optional<ProxyInfo> found) {
  std::lock_guard lock(mutex_);
  discovery_ = std::move(found);
}

void FakeProxyResolver::set_script(std::optional<ProxyInfo> found) {
  std::lock_guard lock(mutex_);
  script_ = std::move(found);
}

void FakeProxyResolver::set_user_settings(std::optional<CurrentUserProxyConfig> settings) {
  std::lock_guard lock(mutex_);
  user_settings_ = std::move(settings);
}

std::vector<FakeProxyResolver::Opened> FakeProxyResolver::opened() const {
  std::lock_guard lock(mutex_);
  return opened_;
}

std::vector<FakeProxyResolver::Lookup> FakeProxyResolver::lookups() const {
  std::lock_guard lock(mutex_);
  return lookups_;
}

int FakeProxyResolver::user_settings_reads() const {
  std::lock_guard lock(mutex_);
  return user_settings_reads_;
}

std::vector<InternetHandle> FakeProxyResolver::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace quillmar::platform::fake
