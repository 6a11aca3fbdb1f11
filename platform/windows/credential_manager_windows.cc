// The Win32 credential manager: generic credentials persisted for the local
// machine. Target names arrive in their UTF-8 form. Older versions of the
// library converted target names through the thread's ANSI code page, which
// gives another name when a key holds non-ASCII characters; a credential
// under that name is still found by a read and removed by a delete, so the
// one-time move into the vault takes it along; a write under the UTF-8
// name replaces it.
#include <windows.h>
// wincred.h needs the types windows.h declares.
#include <wincred.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/legacy_credentials.h"
#include "platform/service_registry.h"
#include "platform/text_conversion.h"

namespace quillmar::platform {
namespace {

const wchar_t* WideName(const std::u16string_view name) {
  return reinterpret_cast<const wchar_t*>(name.data());
}

// GetLastError of a call that reported failure; a failure never reads as 0.
uint32_t LastError() {
  DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? kErrorGenFailure : error;
}

// The name an older version gave the credential of `target_name`, when it
// differs from the UTF-8 form; absent for ASCII names, under a UTF-8 code
// page, and when the name cannot be converted.
std::optional<std::u16string> AnsiCodePageName(const PlatformString& target_name) {
  std::u16string_view name = target_name.view();
  bool ascii = true;
  for (char16_t unit : name) ascii = ascii && unit < 0x80;
  if (ascii || name.empty()) return std::nullopt;

  std::string bytes = Utf16ToUtf8String(name);
  int byte_count = static_cast<int>(bytes.size());
  int unit_count = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), byte_count, nullptr, 0);
  if (unit_count <= 0) return std::nullopt;
  std::u16string converted(static_cast<size_t>(unit_count), u'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), byte_count,
                      reinterpret_cast<wchar_t*>(converted.data()), unit_count);
  if (converted == name) return std::nullopt;
  return converted;
}

// Wipes the record's blob before the system frees it.
struct CredentialRelease {
  void operator()(CREDENTIALW* credential) const {
    if (credential->CredentialBlob != nullptr) {
      SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    }
    CredFree(credential);
  }
};

uint32_t ReadBlob(const std::u16string& name, Buffer* blob) {
  CREDENTIALW* record = nullptr;
  if (!CredReadW(WideName(name), CRED_TYPE_GENERIC, 0, &record)) return LastError();
  std::unique_ptr<CREDENTIALW, CredentialRelease> credential(record);
  *blob = credential->CredentialBlob == nullptr
              ? Buffer()
              : Buffer(credential->CredentialBlob, credential->CredentialBlobSize);
  return kErrorSuccess;
}

uint32_t DeleteName(const std::u16string& name) {
  return CredDeleteW(WideName(name), CRED_TYPE_GENERIC, 0) ? kErrorSuccess : LastError();
}

// The system reads a name up to its first zero: a key holding one would
// reach the credential of a shorter key, so such a name is refused.
bool HasZero(const PlatformString& target_name) {
  return target_name.view().find(u'\0') != std::u16string_view::npos;
}

class Win32CredentialManager : public CredentialManager {
 public:
  uint32_t Read(const PlatformString& target_name, Buffer* blob) override {
    if (HasZero(target_name)) return ERROR_INVALID_PARAMETER;
    std::u16string name(target_name.view());
    uint32_t status = ReadBlob(name, blob);
    if (status != kErrorNotFound) return status;
    std::optional<std::u16string> older_name = AnsiCodePageName(target_name);
    return older_name ? ReadBlob(*older_name, blob) : status;
  }

  uint32_t Write(const PlatformString& target_name, const Buffer& blob) override {
    if (HasZero(target_name)) return ERROR_INVALID_PARAMETER;
    std::u16string name(target_name.view());
    CREDENTIALW credential{};
    credential.Flags = 0;
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(WideName(name));
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
    // CredWriteW only reads the blob.
    credential.CredentialBlob = const_cast<BYTE*>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0)) return LastError();
    // The new credential supersedes one under the older name.
    if (std::optional<std::u16string> older_name = AnsiCodePageName(target_name)) {
      DeleteName(*older_name);
    }
    return kErrorSuccess;
  }

  // Deletes the credential under both names. A failure other than
  // not-found wins; otherwise deleting either is a success.
  uint32_t Delete(const PlatformString& target_name) override {
    if (HasZero(target_name)) return ERROR_INVALID_PARAMETER;
    uint32_t status = DeleteName(std::u16string(target_name.view()));
    std::optional<std::u16string> older_name = AnsiCodePageName(target_name);
    if (!older_name) return status;
    uint32_t older_status = DeleteName(*older_name);
    if (status != kErrorSuccess && status != kErrorNotFound) return status;
    if (older_status != kErrorSuccess && older_status != kErrorNotFound) return older_status;
    return status == kErrorSuccess || older_status == kErrorSuccess ? kErrorSuccess
                                                                    : kErrorNotFound;
  }
};

}  // namespace

template <>
CredentialManager& DefaultService<CredentialManager>() {
  static Win32CredentialManager service;
  return service;
}

}  // namespace quillmar::platform
