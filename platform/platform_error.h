// The platform error (an HRESULT with the platform's error information).
// Like the Windows Runtime projection's error it does not derive from
// std::exception, so an escaping one is reported as an unknown failure.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform_string.h"

namespace quillmar::platform {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005);
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001);
inline constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult kEAccessDenied = static_cast<HResult>(0x80070005);
inline constexpr HResult kEBounds = static_cast<HResult>(0x8000000B);
inline constexpr HResult kEIllegalMethodCall = static_cast<HResult>(0x8000000E);
inline constexpr HResult kENotFound = static_cast<HResult>(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HResult kECanceled = static_cast<HResult>(0x800704C7);  // ERROR_CANCELLED
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFF);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult kNoUnicodeTranslation = static_cast<HResult>(0x80070459);
inline constexpr HResult kWrongDisk = static_cast<HResult>(0x800700A2);
// An object context that can no longer be entered (ObjectContext::Enter).
inline constexpr HResult kRpcEDisconnected = static_cast<HResult>(0x80010108);

// Maps a Win32 status code to its HRESULT form.
constexpr HResult HResultFromWin32(uint32_t status) {
  return status == 0 ? 0 : static_cast<HResult>((status & 0xFFFF) | 0x80070000u);
}

class PlatformError {
 public:
  // An error without restricted information: its text is the system's text
  // for the code.
  explicit PlatformError(HResult code) : code_(code) {}
  // An error whose restricted information carries `message` for `code`.
  PlatformError(HResult code, PlatformString message)
      : code_(code), restricted_code_(code), message_(std::move(message)) {}
  // An error whose restricted information was recorded for another code
  // (a later failure on the same thread): its text is the system's.
  PlatformError(HResult code, HResult restricted_code, PlatformString message)
      : code_(code), restricted_code_(restricted_code), message_(std::move(message)) {}

  HResult code() const { return code_; }
  // The code recorded with the restricted information, if there is any.
  std::optional<HResult> restricted_code() const { return restricted_code_; }
  const PlatformString& restricted_message() const { return message_; }

 private:
  HResult code_;
  std::optional<HResult> restricted_code_;
  PlatformString message_;
};

// The system's message text for a code (FormatMessage's text on Windows),
// without trailing white space; empty when the system has none.
PlatformString SystemMessageText(HResult code);

}  // namespace quillmar::platform
