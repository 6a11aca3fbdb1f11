// The Win32 credential manager, generic credentials only (CredReadW,
// CredWriteW and CredDeleteW with CRED_TYPE_GENERIC). Failures are returned as
// Win32 status codes (GetLastError), never raised; 0 is success. Every call
// may be made from any thread and blocks until the store has answered.
#pragma once

#include <cstdint>

#include "platform/buffer.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorAccessDenied = 5;           // store locked
inline constexpr uint32_t kErrorGenFailure = 31;            // any other failure
inline constexpr uint32_t kErrorNotFound = 1168;            // no such credential
inline constexpr uint32_t kErrorNoSuchLogonSession = 1312;  // store unreachable

class CredentialManager {
 public:
  virtual ~CredentialManager() = default;

  // Copies the blob of the credential named target_name into *blob.
  // kErrorNotFound when there is none.
  virtual uint32_t Read(const PlatformString& target_name, Buffer* blob) = 0;

  // Creates the credential, or replaces the one of the same target name,
  // persisted for the local machine.
  virtual uint32_t Write(const PlatformString& target_name, const Buffer& blob) = 0;

  // Deletes the credential. kErrorNotFound when there is none.
  virtual uint32_t Delete(const PlatformString& target_name) = 0;
};

}  // namespace quillmar::platform
