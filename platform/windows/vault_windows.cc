// The password vault on PasswordVault (the Credential Locker). Each call
// works on a vault object of its own and keeps nothing afterwards, so no
// credential object holding a password outlives the call that read it, and
// calls from several threads share no state. RetrievePassword and Remove
// therefore look the entry up again, and report it gone when it is. Add
// stores through the vault's own Add, which replaces an entry of the same
// resource and user name in place: the old password stays until the new one
// is stored.
#include <security_credentials.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/winrt_support.h"

namespace quillmar::platform {
namespace {

namespace credentials = ABI::Windows::Security::Credentials;
using windows::ComPtr;

// The vault's looks and writes of all of this user's processes in the
// session take turns, so that AddIfMissing's look, question and store are
// one step against every Retrieve and Add of this library: a delete that has
// removed the legacy copy and then found no entry cannot miss an entry a move
// stores after it. Threads take turns through a mutex, processes through a
// named mutex of the session, which the system hands on, abandoned, when its
// holder dies; an abandoned mutex is held all the same, since every step
// inside a turn leaves the vault whole. Any process of the session can open
// that name and keep it, so the wait is bounded (VaultTurnWait); a turn
// that does not come, or a mutex that cannot be made or waited for, fails
// the call before it touches the vault. The name is opened for each turn,
// so that a failure is met by each call rather than kept. A thread already
// in its turn (InTurn) takes no second one.
class VaultTurn {
 public:
  VaultTurn() {
    if (depth_ > 0) {
      ++depth_;
      return;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\QuillmarVaultTurn");
    if (mutex == nullptr) throw windows::LastWin32Error();
    auto deadline = std::chrono::steady_clock::now() + Current<VaultTurnWait>().Limit();
    std::unique_lock<std::timed_mutex> hold(Mutex(), std::defer_lock);
    if (!hold.try_lock_until(deadline)) {
      CloseHandle(mutex);
      throw VaultBusyError();
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    DWORD waited =
        WaitForSingleObject(mutex, static_cast<DWORD>(std::max<int64_t>(left.count(), 0)));
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      PlatformError error = waited == WAIT_TIMEOUT ? VaultBusyError() : windows::LastWin32Error();
      CloseHandle(mutex);
      throw error;
    }
    held_ = mutex;
    hold_ = std::move(hold);
    depth_ = 1;
  }
  ~VaultTurn() {
    if (--depth_ > 0) return;
    ReleaseMutex(held_);
    CloseHandle(held_);
  }
  VaultTurn(const VaultTurn&) = delete;
  VaultTurn& operator=(const VaultTurn&) = delete;

 private:
  static std::timed_mutex& Mutex() {
    static std::timed_mutex mutex;
    return mutex;
  }

  static thread_local int depth_;
  std::unique_lock<std::timed_mutex> hold_;
  HANDLE held_ = nullptr;
};

thread_local int VaultTurn::depth_ = 0;

ComPtr<credentials::IPasswordVault> CreateVault() {
  return windows::ActivateInstance<credentials::IPasswordVault>(
      RuntimeClass_Windows_Security_Credentials_PasswordVault);
}

ComPtr<credentials::IPasswordCredential> RetrieveEntry(credentials::IPasswordVault& vault,
                                                       const PlatformString& resource,
                                                       const PlatformString& user_name) {
  windows::HStringReference resource_text(resource);
  windows::HStringReference user_text(user_name);
  ComPtr<credentials::IPasswordCredential> credential;
  windows::ThrowIfFailed(vault.Retrieve(resource_text.get(), user_text.get(), credential.put()));
  if (!credential) throw PlatformError(kENotFound);
  // The vault matches names without regard to case, and a desktop program
  // sees every program's entries: one whose names differ from ours only in
  // case is another program's or another item's, never this item.
  windows::HString found_resource;
  windows::HString found_user;
  windows::ThrowIfFailed(credential->get_Resource(found_resource.put()));
  windows::ThrowIfFailed(credential->get_UserName(found_user.put()));
  if (!(windows::ToPlatformString(found_resource.get()) == resource) ||
      !(windows::ToPlatformString(found_user.get()) == user_name)) {
    throw PlatformError(kENotFound);
  }
  return credential;
}

class WindowsPasswordVault : public PasswordVault {
 public:
  void Open() override { CreateVault(); }

  PasswordCredential Retrieve(const PlatformString& resource,
                              const PlatformString& user_name) override {
    ComPtr<credentials::IPasswordVault> vault = CreateVault();
    VaultTurn turn;
    RetrieveEntry(*vault.get(), resource, user_name);
    return {resource, user_name, PlatformString()};
  }

  void RetrievePassword(PasswordCredential* credential) override {
    ComPtr<credentials::IPasswordCredential> entry =
        RetrieveEntry(*CreateVault().get(), credential->resource, credential->user_name);
    windows::ThrowIfFailed(entry->RetrievePassword());
    windows::HString password;
    windows::ThrowIfFailed(entry->get_Password(password.put()));
    credential->password = windows::ToPlatformString(password.get());
  }

  void Add(const PasswordCredential& credential) override {
    ComPtr<credentials::IPasswordVault> vault = CreateVault();
    VaultTurn turn;
    Store(*vault.get(), credential);
  }

  bool AddIfMissing(const PasswordCredential& credential,
                    const std::function<bool()>& wanted) override {
    ComPtr<credentials::IPasswordVault> vault = CreateVault();
    VaultTurn turn;
    try {
      RetrieveEntry(*vault.get(), credential.resource, credential.user_name);
      return false;
    } catch (const PlatformError& error) {
      if (error.code() != kENotFound) throw;
    }
    if (!wanted()) return false;
    Store(*vault.get(), credential);
    return true;
  }

  void Remove(const PasswordCredential& credential) override {
    ComPtr<credentials::IPasswordVault> vault = CreateVault();
    ComPtr<credentials::IPasswordCredential> entry =
        RetrieveEntry(*vault.get(), credential.resource, credential.user_name);
    windows::ThrowIfFailed(vault->Remove(entry.get()));
  }

  void InTurn(const std::function<void()>& steps) override {
    VaultTurn turn;
    steps();
  }

 private:
  static void Store(credentials::IPasswordVault& vault, const PasswordCredential& credential) {
    ComPtr<credentials::ICredentialFactory> factory =
        windows::GetActivationFactory<credentials::ICredentialFactory>(
            RuntimeClass_Windows_Security_Credentials_PasswordCredential);
    windows::HStringReference resource(credential.resource);
    windows::HStringReference user_name(credential.user_name);
    windows::HStringReference password(credential.password);
    ComPtr<credentials::IPasswordCredential> entry;
    windows::ThrowIfFailed(factory->CreatePasswordCredential(resource.get(), user_name.get(),
                                                             password.get(), entry.put()));
    windows::ThrowIfFailed(vault.Add(entry.get()));
  }
};

}  // namespace

template <>
PasswordVault& DefaultService<PasswordVault>() {
  static WindowsPasswordVault service;
  return service;
}

}  // namespace quillmar::platform
