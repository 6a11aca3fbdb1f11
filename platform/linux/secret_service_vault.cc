// The password vault on the Secret Service: one item per entry, of a schema
// whose attributes are the resource and the user name, holding the password
// as UTF-8 text.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/linux/secret_service_client.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"

namespace quillmar::platform {
namespace {

// The vault's looks and writes of all of this user's processes take turns,
// so that AddIfMissing's look, question and store are one step against every
// Retrieve and write of this library: a delete that has removed the legacy
// copy and then found no entry cannot miss an entry a move stores after it.
// Threads take turns through a mutex, processes through an advisory lock on
// a file in the user's runtime directory, which the system releases when its
// holder dies. Any process of the user can keep that lock, so the wait is
// bounded (VaultTurnWait); flock cannot wait with a limit, so the call tries
// again every few milliseconds. A turn that does not come fails the call
// before it touches the vault. Where the file cannot be opened or locked
// (no runtime directory), processes do not take turns and the Secret
// Service reports what it finds; the file is opened for each turn, so that
// such a failure is met anew by each call rather than kept. A thread
// already in its turn (InTurn) takes no second one.
class VaultTurn {
 public:
  VaultTurn() {
    if (depth_ > 0) {
      ++depth_;
      return;
    }
    auto deadline = std::chrono::steady_clock::now() + Current<VaultTurnWait>().Limit();
    // Tried like the file lock: a timed wait on the steady clock is
    // pthread_mutex_clocklock, which ThreadSanitizer does not see.
    std::unique_lock<std::mutex> hold(Mutex(), std::try_to_lock);
    while (!hold.owns_lock()) {
      if (std::chrono::steady_clock::now() >= deadline) throw VaultBusyError();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      hold.try_lock();
    }
    std::string path = std::string(g_get_user_runtime_dir()) + "/quillmar-vault.lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    while (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      } else if (errno == EWOULDBLOCK) {
        close(fd);
        throw VaultBusyError();
      } else if (errno != EINTR) {
        close(fd);
        fd = -1;
      }
    }
    fd_ = fd;
    hold_ = std::move(hold);
    depth_ = 1;
  }
  ~VaultTurn() {
    if (--depth_ > 0 || fd_ < 0) return;
    close(fd_);  // releases the lock
  }
  VaultTurn(const VaultTurn&) = delete;
  VaultTurn& operator=(const VaultTurn&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }

  static thread_local int depth_;
  std::unique_lock<std::mutex> hold_;
  int fd_ = -1;
};

thread_local int VaultTurn::depth_ = 0;

const SecretSchema& VaultSchema() {
  static const SecretSchema schema =
      secret_service::MakeSchema("com.quillmar.PasswordVault", {"resource", "user_name"});
  return schema;
}

secret_service::Attributes EntryName(const PlatformString& resource,
                                     const PlatformString& user_name) {
  return {{"resource", secret_service::AttributeText(resource)},
          {"user_name", secret_service::AttributeText(user_name)}};
}

class SecretServiceVault : public PasswordVault {
 public:
  // Nothing to create: each call connects, so that a missing session bus is
  // reported by the call that needs it.
  void Open() override {}

  PasswordCredential Retrieve(const PlatformString& resource,
                              const PlatformString& user_name) override {
    VaultTurn turn;
    if (!secret_service::Contains(VaultSchema(), EntryName(resource, user_name))) {
      throw PlatformError(kENotFound);
    }
    return {resource, user_name, PlatformString()};
  }

  void RetrievePassword(PasswordCredential* credential) override {
    std::optional<Buffer> secret = secret_service::Lookup(
        VaultSchema(), EntryName(credential->resource, credential->user_name));
    if (!secret) throw PlatformError(kENotFound);
    credential->password = secret_service::SecretText(*secret);
  }

  // The service replaces the item of equal attributes in place.
  void Add(const PasswordCredential& credential) override {
    VaultTurn turn;
    Store(credential);
  }

  bool AddIfMissing(const PasswordCredential& credential,
                    const std::function<bool()>& wanted) override {
    VaultTurn turn;
    if (secret_service::Contains(VaultSchema(),
                                 EntryName(credential.resource, credential.user_name)) ||
        !wanted()) {
      return false;
    }
    Store(credential);
    return true;
  }

  void Remove(const PasswordCredential& credential) override {
    if (!secret_service::Clear(VaultSchema(),
                               EntryName(credential.resource, credential.user_name))) {
      throw PlatformError(kENotFound);
    }
  }

  void InTurn(const std::function<void()>& steps) override {
    VaultTurn turn;
    steps();
  }

 private:
  static void Store(const PasswordCredential& credential) {
    std::string label = secret_service::AttributeText(credential.resource) + ": " +
                        secret_service::AttributeText(credential.user_name);
    secret_service::Store(VaultSchema(), EntryName(credential.resource, credential.user_name),
                          label, secret_service::SecretBytes(credential.password), "text/plain");
  }
};

}  // namespace

template <>
PasswordVault& DefaultService<PasswordVault>() {
  static SecretServiceVault service;
  return service;
}

}  // namespace quillmar::platform
