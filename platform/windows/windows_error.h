// Platform errors from Windows failures, for the Windows backends.
#pragma once

#include <windows.h>

#include "platform/platform_error.h"

namespace quillmar::platform::windows {

// The error for a failed call that returned `code`, with the calling
// thread's restricted error information when there is some (it is taken:
// the thread's record is cleared). Windows before 8 has none.
PlatformError ErrorFromHResult(HRESULT code);

// The error for a failed Win32 call, from GetLastError (E_FAIL when the call
// left no code).
PlatformError LastWin32Error();

// Raises ErrorFromHResult(code) when `code` is a failure.
inline void ThrowIfFailed(HRESULT code) {
  if (FAILED(code)) throw ErrorFromHResult(code);
}

}  // namespace quillmar::platform::windows
