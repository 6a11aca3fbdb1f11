// MultiByteToWideChar and WideCharToMultiByte with CP_UTF8 and flags 0: the
// first call sizes the text, the second writes exactly that many units into
// the caller's room. Both take int counts, so a longer text is refused
// rather than cut.
#include <windows.h>

#include <climits>
#include <stdexcept>

#include "platform/platform_error.h"
#include "platform/text_conversion.h"

namespace quillmar::platform {
namespace {

int CountOf(size_t length) {
  if (length > static_cast<size_t>(INT_MAX)) {
    throw std::length_error("text too long for the platform's conversion");
  }
  return static_cast<int>(length);
}

// The converter's refusal, after wiping what it may have written.
[[noreturn]] void ThrowRefusal(void* written, size_t size) {
  DWORD status = GetLastError();
  if (written != nullptr) SecureZeroMemory(written, size);
  throw PlatformError(status == ERROR_SUCCESS ? kEFail : HResultFromWin32(status));
}

}  // namespace

size_t ConvertUtf8ToUtf16(std::string_view utf8, const TextRoom<char16_t>& room) {
  if (utf8.empty()) return 0;
  int bytes = CountOf(utf8.size());
  int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  if (units <= 0) ThrowRefusal(nullptr, 0);
  char16_t* out = room(static_cast<size_t>(units));
  int written =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, reinterpret_cast<wchar_t*>(out), units);
  if (written <= 0) ThrowRefusal(out, static_cast<size_t>(units) * sizeof(char16_t));
  return static_cast<size_t>(written);
}

size_t ConvertUtf16ToUtf8(std::u16string_view utf16, const TextRoom<char>& room) {
  if (utf16.empty()) return 0;
  int units = CountOf(utf16.size());
  const auto* wide = reinterpret_cast<const wchar_t*>(utf16.data());
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) ThrowRefusal(nullptr, 0);
  char* out = room(static_cast<size_t>(bytes));
  int written = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, bytes, nullptr, nullptr);
  if (written <= 0) ThrowRefusal(out, static_cast<size_t>(bytes));
  return static_cast<size_t>(written);
}

}  // namespace quillmar::platform
