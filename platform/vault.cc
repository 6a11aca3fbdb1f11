#include "platform/vault.h"

#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

// A turn lasts one look and one write of the store, milliseconds; a peer
// that keeps it for seconds is hung or stopped. The call waits on the
// application's UI thread, so the limit stays under the 5 s after which
// Windows reports a window as not responding.
class FixedTurnWait : public VaultTurnWait {
 public:
  std::chrono::milliseconds Limit() override { return std::chrono::seconds(3); }
};

}  // namespace

PlatformError VaultBusyError() {
  return PlatformError(kVaultBusy,
                       PlatformString(u"Another process holds the password vault; nothing was "
                                      u"changed. Try again."));
}

template <>
VaultTurnWait& DefaultService<VaultTurnWait>() {
  static FixedTurnWait service;
  return service;
}

}  // namespace quillmar::platform
