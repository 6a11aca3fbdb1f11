#include "common/text.h"

#include "platform/text_conversion.h"

namespace quillmar {

platform::PlatformString Utf8ToWide(std::string_view utf8) {
  return platform::PlatformString::FromUtf8(utf8);
}

std::string WideToUtf8(const char16_t* text, uint32_t length) {
  return platform::Utf16ToUtf8String({text, length});
}

std::string WideToUtf8(const platform::PlatformString& text) { return text.ToUtf8(); }

std::string WideCStringToUtf8(const char16_t* text) {
  return WideToUtf8(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

std::string PlatformErrorMessage(const platform::PlatformError& error) {
  if (error.restricted_code() && *error.restricted_code() == error.code()) {
    return WideToUtf8(error.restricted_message());
  }
  return WideToUtf8(platform::SystemMessageText(error.code()));
}

}  // namespace quillmar
