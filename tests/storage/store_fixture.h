// The fixture of the item handler tests: fake stores, a fake version check
// and a fake consent verifier made current for each test, with helpers that
// call a handler and read or plant items.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "channel/encodable_value.h"
#include "platform/fake/fake_apartment.h"
#include "platform/fake/fake_consent_verifier.h"
#include "platform/fake/fake_credentials.h"
#include "platform/fake/fake_system_version.h"
#include "platform/fake/fake_vault.h"
#include "platform/service_registry.h"
#include "plugin/handler.h"
#include "tests/support/recording_result.h"

namespace quillmar::storage_test {

using platform::fake::FakeCredentialManager;
using platform::fake::FakeUserConsentVerifier;
using platform::fake::FakeVault;
using testing::RecordedAnswer;

// A readable form of a value, for failure messages.
std::string Show(const EncodableValue& value);

EncodableValue Args(std::optional<std::string> key, std::optional<std::string> value = {});
EncodableValue Text(std::optional<std::string> text);
// The expected replies of the three item methods.
EncodableValue GetReply(std::optional<std::string> error, bool success,
                        std::optional<std::string> item_value);
EncodableValue UpsertReply(std::optional<std::string> error);
EncodableValue DeleteReply(std::optional<std::string> error);

void ExpectSuccess(const RecordedAnswer& answer, const EncodableValue& expected);

class StoreTest : public ::testing::Test {
 protected:
  // Calls the handler and returns its one answer, checking that the result
  // was answered once and released by the time it returned.
  RecordedAnswer Call(MethodHandler handler, const EncodableValue& arguments);

  void PutVault(const std::string& key, const std::string& value);
  std::optional<std::string> VaultValue(const std::string& key) const;
  // A legacy credential holding the value and its terminating zero.
  void PutLegacy(const std::string& key, const std::string& value);
  // The legacy credential's blob, terminator included.
  std::optional<std::string> LegacyBlob(const std::string& key) const;

  platform::fake::FakeSystemVersion version_{true};
  FakeVault vault_;
  FakeCredentialManager credentials_;
  FakeUserConsentVerifier verifier_;
  platform::fake::FakeApartment apartment_;

 private:
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
  platform::ScopedOverride<platform::PasswordVault> vault_override_{&vault_};
  platform::ScopedOverride<platform::CredentialManager> credentials_override_{&credentials_};
  platform::ScopedOverride<platform::UserConsentVerifier> verifier_override_{&verifier_};
  platform::ScopedOverride<platform::Apartment> apartment_override_{&apartment_};
};

}  // namespace quillmar::storage_test
