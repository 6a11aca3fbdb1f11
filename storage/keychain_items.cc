// "getKeychainItem", "upsertKeychainItem" (also "upsertBiometricSecureItem")
// and "deleteKeychainItem": synchronous, on the platform thread. From
// Windows 10 on items live in the vault, before it in the credential manager.
#include <string>

#include "common/arguments.h"
#include "common/registration_state.h"
#include "common/text.h"
#include "platform/legacy_credentials.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "storage/handlers.h"
#include "storage/item_stores.h"

namespace quillmar {
namespace {

EncodableValue ItemReply(EncodableValue error, bool success, EncodableValue item_value) {
  return EncodableValue(MakeReplyMap(
      {{"error", std::move(error)}, {"success", success}, {"itemValue", std::move(item_value)}}));
}

EncodableValue FoundReply(EncodableValue item_value) {
  return ItemReply(EncodableValue(), true, std::move(item_value));
}

EncodableValue UpsertReply(EncodableValue error) {
  bool ok = error.IsNull();
  return EncodableValue(
      MakeReplyMap({{"error", std::move(error)}, {"status", std::string(ok ? "ok" : "error")}}));
}

EncodableValue DeleteReply(EncodableValue error) {
  bool ok = error.IsNull();
  return EncodableValue(MakeReplyMap({{"error", std::move(error)}, {"success", ok}}));
}

std::string StatusText(const char* prefix, uint32_t status) {
  return prefix + std::to_string(status);
}

EncodableValue TextValue(const platform::Buffer& text) {
  return EncodableValue(std::string(text.data(), text.data() + text.size()));
}

EncodableValue ReadFromVault(const std::string& key) {
  try {
    platform::PlatformString password = ReadVaultPassword(Utf8ToWide(key));
    if (!password.empty()) return FoundReply(EncodableValue(WideToUtf8(password)));
    LegacyCredential legacy = ReadLegacyCredential(key);
    if (legacy.status == platform::kErrorSuccess && legacy.text) {
      MigrateLegacyCredential(key, legacy.value());
      return FoundReply(TextValue(*legacy.text));
    }
    return FoundReply(EncodableValue());
  } catch (const platform::PlatformError& error) {
    return ItemReply(EncodableValue(PlatformErrorMessage(error)), false, EncodableValue());
  }
}

EncodableValue ReadFromLegacyStore(const std::string& key) {
  LegacyCredential legacy = ReadLegacyCredential(key);
  if (legacy.status != platform::kErrorSuccess) {
    return ItemReply(
        EncodableValue(StatusText("get_keychain_item_error status was ", legacy.status)), false,
        EncodableValue());
  }
  return FoundReply(legacy.text ? TextValue(*legacy.text) : EncodableValue());
}

// The vault replaces an entry of the same name in place, so the previous
// value stays until the new one is stored and survives a failed write.
EncodableValue WriteToVault(const std::string& key, std::string_view value) {
  try {
    auto& vault = platform::Current<platform::PasswordVault>();
    vault.Open();
    vault.Add({kResourceName, Utf8ToWide(key), Utf8ToWide(value)});
    return UpsertReply(EncodableValue());
  } catch (const platform::PlatformError& error) {
    return UpsertReply(EncodableValue(PlatformErrorMessage(error)));
  }
}

// A credential write replaces the older credential, so nothing is deleted first.
EncodableValue WriteToLegacyStore(const std::string& key, std::string_view value) {
  uint32_t status = WriteLegacyCredential(key, value);
  if (status != platform::kErrorSuccess) {
    return UpsertReply(EncodableValue(StatusText("write failed with error ", status)));
  }
  return UpsertReply(EncodableValue());
}

EncodableValue RemoveFromVault(platform::PasswordVault& vault, const std::string& key) {
  try {
    platform::PasswordCredential credential = vault.Retrieve(kResourceName, Utf8ToWide(key));
    vault.Remove(credential);
    return DeleteReply(EncodableValue());
  } catch (const platform::PlatformError& error) {
    if (error.code() == platform::kENotFound) return DeleteReply(EncodableValue());
    return DeleteReply(EncodableValue(PlatformErrorMessage(error)));
  }
}

}  // namespace

void HandleGetKeychainItem(const EncodableValue* arguments, std::unique_ptr<MethodResult> result) {
  std::string key = ReadStringArgument("itemKey", arguments);
  result->Success(IsWindows10OrLater() ? ReadFromVault(key) : ReadFromLegacyStore(key));
}

void HandleUpsertKeychainItem(const EncodableValue* arguments,
                              std::unique_ptr<MethodResult> result) {
  std::string key = ReadStringArgument("itemKey", arguments);
  base::SecretString value = ReadSecretArgument("itemValue", arguments);
  result->Success(IsWindows10OrLater() ? WriteToVault(key, value.view())
                                       : WriteToLegacyStore(key, value.view()));
}

void HandleDeleteKeychainItem(const EncodableValue* arguments,
                              std::unique_ptr<MethodResult> result) {
  std::string key = ReadStringArgument("itemKey", arguments);
  if (!IsWindows10OrLater()) {
    uint32_t status = DeleteLegacyCredential(key);
    result->Success(status == platform::kErrorSuccess
                        ? DeleteReply(EncodableValue())
                        : DeleteReply(EncodableValue(
                              StatusText("delete_keychain_item_error status was ", status))));
    return;
  }
  // Outside the guard: a vault that cannot be created fails the call.
  auto& vault = platform::Current<platform::PasswordVault>();
  vault.Open();
  // The legacy copy goes first: left behind by a process that dies before
  // the end, it would be moved back in by the next read as a live value.
  // Both go in the vault's turn, so that a turn that does not come leaves
  // both stores as they were.
  EncodableValue reply;
  bool in_turn = false;
  try {
    vault.InTurn([&] {
      in_turn = true;
      DeleteLegacyCredential(key);
      reply = RemoveFromVault(vault, key);
    });
  } catch (const platform::PlatformError& error) {
    if (in_turn) throw;
    reply = DeleteReply(EncodableValue(PlatformErrorMessage(error)));
  }
  result->Success(std::move(reply));
}

}  // namespace quillmar
