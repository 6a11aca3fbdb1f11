// The password vault on PasswordVault (the Credential Locker). Each call
// works on a vault object of its own and keeps nothing afterwards, so no
// credential object holding a password outlives the call that read it, and
// calls from several threads share no state. RetrievePassword and Remove
// therefore look the entry up again, and report it gone when it is. Add
// stores through the vault's own Add, which replaces an entry of the same
// resource and user name in place: the old password stays until the new one
// is stored.
#include <security_credentials.h>

#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "platform/windows/winrt_support.h"

namespace quillmar::platform {
namespace {

namespace credentials = ABI::Windows::Security::Credentials;
using windows::ComPtr;

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
  return credential;
}

class WindowsPasswordVault : public PasswordVault {
 public:
  void Open() override { CreateVault(); }

  PasswordCredential Retrieve(const PlatformString& resource,
                              const PlatformString& user_name) override {
    RetrieveEntry(*CreateVault().get(), resource, user_name);
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
    ComPtr<credentials::ICredentialFactory> factory =
        windows::GetActivationFactory<credentials::ICredentialFactory>(
            RuntimeClass_Windows_Security_Credentials_PasswordCredential);
    windows::HStringReference resource(credential.resource);
    windows::HStringReference user_name(credential.user_name);
    windows::HStringReference password(credential.password);
    ComPtr<credentials::IPasswordCredential> entry;
    windows::ThrowIfFailed(factory->CreatePasswordCredential(resource.get(), user_name.get(),
                                                             password.get(), entry.put()));
    windows::ThrowIfFailed(vault->Add(entry.get()));
  }

  void Remove(const PasswordCredential& credential) override {
    ComPtr<credentials::IPasswordVault> vault = CreateVault();
    ComPtr<credentials::IPasswordCredential> entry =
        RetrieveEntry(*vault.get(), credential.resource, credential.user_name);
    windows::ThrowIfFailed(vault->Remove(entry.get()));
  }
};

}  // namespace

template <>
PasswordVault& DefaultService<PasswordVault>() {
  static WindowsPasswordVault service;
  return service;
}

}  // namespace quillmar::platform
