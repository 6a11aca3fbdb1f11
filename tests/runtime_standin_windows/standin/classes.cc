#include "factories.h"

namespace quillmar::standin {

const std::vector<FactoryEntry>& Factories() {
  static const std::vector<FactoryEntry> factories = {
      {L"Windows.Security.Credentials.PasswordVault", nullptr, PasswordVaultFactory},
      {L"Windows.Security.Credentials.PasswordCredential", nullptr, PasswordCredentialFactory},
      {L"Windows.Security.Credentials.UI.UserConsentVerifier", "consent.statics",
       ConsentVerifierFactory},
      {L"Windows.System.Profile.AnalyticsInfo", "analytics.statics", AnalyticsInfoFactory},
      {L"Windows.Services.Store.StoreContext", "store.statics", StoreContextFactory},
      {L"Windows.ApplicationModel.Core.CoreApplication", "core.statics", CoreApplicationFactory},
  };
  return factories;
}

}  // namespace quillmar::standin
