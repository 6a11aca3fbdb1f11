#include "storage/item_stores.h"

#include <algorithm>

#include "common/registration_state.h"
#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/system_version.h"
#include "platform/vault.h"

namespace quillmar {
namespace {

// The one conversion of a target name that reading, writing and deleting
// share, so that each reaches the credential the others made.
platform::PlatformString TargetName(std::string_view key) {
  return Utf8ToWide(CredentialTargetName(key));
}

platform::CredentialManager& Credentials() {
  return platform::Current<platform::CredentialManager>();
}

}  // namespace

bool IsWindows10OrLater() {
  return platform::Current<platform::SystemVersion>().IsAtLeast(10, 0, 0);
}

std::string CredentialTargetName(std::string_view key) {
  std::string name = WideToUtf8(kResourceName);
  name += ':';
  name += key;
  return name;
}

platform::PlatformString ReadVaultPassword(const platform::PlatformString& key) {
  try {
    auto& vault = platform::Current<platform::PasswordVault>();
    vault.Open();
    platform::PasswordCredential credential = vault.Retrieve(kResourceName, key);
    vault.RetrievePassword(&credential);
    return std::move(credential.password);
  } catch (const platform::PlatformError& error) {
    if (error.code() == platform::kENotFound) return platform::PlatformString();
    throw;
  }
}

LegacyCredential ReadLegacyCredential(std::string_view key) {
  platform::Buffer blob;
  uint32_t status = Credentials().Read(TargetName(key), &blob);
  if (status == platform::kErrorNotFound) return {};
  if (status != platform::kErrorSuccess) return {status, std::nullopt};
  size_t length = std::find(blob.data(), blob.data() + blob.size(), 0) - blob.data();
  return {platform::kErrorSuccess, platform::Buffer(blob.data(), length)};
}

uint32_t WriteLegacyCredential(std::string_view key, std::string_view value) {
  std::string_view text = value.substr(0, value.find('\0'));
  platform::Buffer blob(text.size() + 1);
  std::copy(text.begin(), text.end(), blob.data());
  return Credentials().Write(TargetName(key), blob);
}

uint32_t DeleteLegacyCredential(std::string_view key) {
  uint32_t status = Credentials().Delete(TargetName(key));
  return status == platform::kErrorNotFound ? platform::kErrorSuccess : status;
}

// True while the legacy store still holds exactly `value` for the key.
bool LegacyCredentialHolds(std::string_view key, std::string_view value) {
  LegacyCredential legacy = ReadLegacyCredential(key);
  return legacy.status == platform::kErrorSuccess && legacy.text && legacy.value() == value;
}

void MigrateLegacyCredential(std::string_view key, std::string_view value) {
  try {
    auto& vault = platform::Current<platform::PasswordVault>();
    vault.Open();
    platform::PlatformString user_name = Utf8ToWide(key);
    // An entry that appeared since the read (an upsert of another process)
    // is newer than the legacy value and stays; the credential is then
    // superseded all the same. A credential deleted or changed since the
    // read is not moved: a delete of another process would see it return.
    vault.AddIfMissing({kResourceName, user_name, Utf8ToWide(value)},
                       [&] { return LegacyCredentialHolds(key, value); });
    vault.Retrieve(kResourceName, user_name);
    DeleteLegacyCredential(key);
  } catch (...) {
    // The credential stays where it is; the next read tries again.
  }
}

}  // namespace quillmar
