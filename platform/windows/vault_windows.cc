// The password vault on PasswordVault (the Credential Locker). Open creates
// the vault object of the calling thread's operation; a retrieved entry's
// credential object is kept on that thread so that RetrievePassword and
// Remove work on the entry Retrieve found, as on Windows. Add stores through
// the vault's own Add, which replaces an entry of the same resource and user
// name in place, so the old password stays until the new one is stored.
#include <string>

#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "platform/windows/winrt_support.h"
#include "security_credentials.h"

namespace quillmar::platform {
namespace {

namespace credentials = ABI::Windows::Security::Credentials;
using windows::ComPtr;

// What one thread's current operation works on. A thread may end after its
// apartment has been torn down, so at thread exit the references are left
// behind rather than released into an apartment that is gone.
struct ThreadOperation {
  ~ThreadOperation() {
    vault.detach();
    retrieved.detach();
  }

  ComPtr<credentials::IPasswordVault> vault;
  std::u16string resource;
  std::u16string user_name;
  ComPtr<credentials::IPasswordCredential> retrieved;  // the entry Retrieve found

  void Forget() {
    retrieved.reset();
    resource.clear();
    user_name.clear();
  }
};

thread_local ThreadOperation current;

ComPtr<credentials::IPasswordVault> CreateVault() {
  return windows::ActivateInstance<credentials::IPasswordVault>(
      RuntimeClass_Windows_Security_Credentials_PasswordVault);
}

credentials::IPasswordVault& Vault() {
  if (!current.vault) current.vault = CreateVault();
  return *current.vault.get();
}

ComPtr<credentials::IPasswordCredential> RetrieveEntry(const PlatformString& resource,
                                                       const PlatformString& user_name) {
  windows::HStringReference resource_text(resource);
  windows::HStringReference user_text(user_name);
  ComPtr<credentials::IPasswordCredential> credential;
  windows::ThrowIfFailed(Vault().Retrieve(resource_text.get(), user_text.get(), credential.put()));
  if (!credential) throw PlatformError(kENotFound);
  return credential;
}

// The credential object of the entry `credential` names: the one Retrieve
// found on this thread when it names the same entry, otherwise a new look-up.
ComPtr<credentials::IPasswordCredential> EntryObject(const PasswordCredential& credential) {
  if (current.retrieved && current.resource == credential.resource.view() &&
      current.user_name == credential.user_name.view()) {
    return current.retrieved;
  }
  return RetrieveEntry(credential.resource, credential.user_name);
}

class WindowsPasswordVault : public PasswordVault {
 public:
  void Open() override {
    current.Forget();
    current.vault.reset();
    current.vault = CreateVault();
  }

  PasswordCredential Retrieve(const PlatformString& resource,
                              const PlatformString& user_name) override {
    current.Forget();
    ComPtr<credentials::IPasswordCredential> credential = RetrieveEntry(resource, user_name);
    current.retrieved = credential;
    current.resource = resource.view();
    current.user_name = user_name.view();
    return {resource, user_name, PlatformString()};
  }

  void RetrievePassword(PasswordCredential* credential) override {
    ComPtr<credentials::IPasswordCredential> entry = EntryObject(*credential);
    // The object now holds the password: it does not outlive this call.
    current.Forget();
    windows::ThrowIfFailed(entry->RetrievePassword());
    windows::HString password;
    windows::ThrowIfFailed(entry->get_Password(password.put()));
    credential->password = windows::ToPlatformString(password.get());
  }

  void Add(const PasswordCredential& credential) override {
    current.Forget();
    ComPtr<credentials::ICredentialFactory> factory =
        windows::GetActivationFactory<credentials::ICredentialFactory>(
            RuntimeClass_Windows_Security_Credentials_PasswordCredential);
    windows::HStringReference resource(credential.resource);
    windows::HStringReference user_name(credential.user_name);
    windows::HStringReference password(credential.password);
    ComPtr<credentials::IPasswordCredential> entry;
    windows::ThrowIfFailed(factory->CreatePasswordCredential(resource.get(), user_name.get(),
                                                             password.get(), entry.put()));
    windows::ThrowIfFailed(Vault().Add(entry.get()));
  }

  void Remove(const PasswordCredential& credential) override {
    ComPtr<credentials::IPasswordCredential> entry = EntryObject(credential);
    current.Forget();
    windows::ThrowIfFailed(Vault().Remove(entry.get()));
  }
};

}  // namespace

template <>
PasswordVault& DefaultService<PasswordVault>() {
  static WindowsPasswordVault service;
  return service;
}

}  // namespace quillmar::platform
