// The store operations the item handlers share: the version line, the vault
// read and the legacy credential operations. All run on the calling thread
// and block on the stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/buffer.h"
#include "platform/platform_string.h"

namespace quillmar {

// True on Windows 10.0 or later; asked anew on every call.
bool IsWindows10OrLater();

// "Quillmar:" followed by the key's bytes.
std::string CredentialTargetName(std::string_view key);

// The vault password of the item, empty when the vault has no entry for it.
// Raises every platform error other than not-found.
platform::PlatformString ReadVaultPassword(const platform::PlatformString& key);

struct LegacyCredential {
  uint32_t status = 0;                   // Win32 status; not-found reads as 0
  std::optional<platform::Buffer> text;  // the value's UTF-8 bytes

  // The value's bytes as text; only while there is a value.
  std::string_view value() const {
    return {reinterpret_cast<const char*>(text->data()), text->size()};
  }
};

LegacyCredential ReadLegacyCredential(std::string_view key);
// Stores the value up to its first zero byte; replaces an older credential.
uint32_t WriteLegacyCredential(std::string_view key, std::string_view value);
// Not-found is mapped to 0.
uint32_t DeleteLegacyCredential(std::string_view key);

// Moves the item into the vault, where the vault still has no entry for it,
// and deletes the legacy credential once the vault holds the key. Never
// fails: on any failure the credential stays.
void MigrateLegacyCredential(std::string_view key, std::string_view value);

}  // namespace quillmar
