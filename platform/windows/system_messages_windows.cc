// The system's message text for a code, as FormatMessageW gives it in the
// user's language.
#include <windows.h>

#include <string_view>

#include "platform/platform_error.h"

namespace quillmar::platform {

PlatformString SystemMessageText(HResult code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return PlatformString();
  std::u16string_view view(reinterpret_cast<const char16_t*>(text), length);
  while (!view.empty() && (view.back() == u' ' || view.back() == u'\t' || view.back() == u'\r' ||
                           view.back() == u'\n')) {
    view.remove_suffix(1);
  }
  PlatformString message(view);
  LocalFree(text);
  return message;
}

}  // namespace quillmar::platform
