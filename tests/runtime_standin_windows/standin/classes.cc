#include "factories.h"

namespace quillmar::standin {

const std::vector<FactoryEntry>& Factories() {
  static const std::vector<FactoryEntry> factories = {
      {L"Windows.Security.Credentials.PasswordVault", nullptr, PasswordVaultFactory},
      {L"Windows.Security.Credentials.PasswordCredential", nullptr, PasswordCredentialFactory},
  };
  return factories;
}

}  // namespace quillmar::standin
