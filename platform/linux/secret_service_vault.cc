// The password vault on the Secret Service: one item per entry, of a schema
// whose attributes are the resource and the user name, holding the password
// as UTF-8 text.
#include "platform/linux/secret_service_client.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"

namespace quillmar::platform {
namespace {

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

  void Add(const PasswordCredential& credential) override {
    std::string label = secret_service::AttributeText(credential.resource) + ": " +
                        secret_service::AttributeText(credential.user_name);
    secret_service::Store(VaultSchema(), EntryName(credential.resource, credential.user_name),
                          label, secret_service::SecretBytes(credential.password), "text/plain");
  }

  void Remove(const PasswordCredential& credential) override {
    if (!secret_service::Clear(VaultSchema(),
                               EntryName(credential.resource, credential.user_name))) {
      throw PlatformError(kENotFound);
    }
  }
};

}  // namespace

template <>
PasswordVault& DefaultService<PasswordVault>() {
  static SecretServiceVault service;
  return service;
}

}  // namespace quillmar::platform
