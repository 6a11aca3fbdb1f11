// The legacy credential manager on the Secret Service: one item per generic
// credential, of a second schema keyed by the target name, holding the blob.
// Platform errors become the Win32 status the credential manager reports.
#include <functional>

#include "platform/legacy_credentials.h"
#include "platform/linux/secret_service_client.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

const SecretSchema& CredentialSchema() {
  static const SecretSchema schema =
      secret_service::MakeSchema("com.quillmar.CredentialManager", {"target_name"});
  return schema;
}

secret_service::Attributes TargetName(const PlatformString& target_name) {
  return {{"target_name", secret_service::AttributeText(target_name)}};
}

uint32_t Win32Status(const PlatformError& error) {
  uint32_t code = static_cast<uint32_t>(error.code());
  return (code & 0xFFFF0000u) == 0x80070000u ? code & 0xFFFFu : kErrorGenFailure;
}

uint32_t StatusOf(const std::function<uint32_t()>& operation) {
  try {
    return operation();
  } catch (const PlatformError& error) {
    return Win32Status(error);
  }
}

class SecretServiceCredentialManager : public CredentialManager {
 public:
  uint32_t Read(const PlatformString& target_name, Buffer* blob) override {
    return StatusOf([&] {
      std::optional<Buffer> secret =
          secret_service::Lookup(CredentialSchema(), TargetName(target_name));
      if (!secret) return kErrorNotFound;
      *blob = std::move(*secret);
      return kErrorSuccess;
    });
  }

  uint32_t Write(const PlatformString& target_name, const Buffer& blob) override {
    return StatusOf([&] {
      secret_service::Store(CredentialSchema(), TargetName(target_name),
                            secret_service::AttributeText(target_name), blob,
                            "application/octet-stream");
      return kErrorSuccess;
    });
  }

  uint32_t Delete(const PlatformString& target_name) override {
    return StatusOf([&] {
      return secret_service::Clear(CredentialSchema(), TargetName(target_name)) ? kErrorSuccess
                                                                                : kErrorNotFound;
    });
  }
};

}  // namespace

template <>
CredentialManager& DefaultService<CredentialManager>() {
  static SecretServiceCredentialManager service;
  return service;
}

}  // namespace quillmar::platform
