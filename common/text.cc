#include "common/text.h"

#include "base/utf.h"

namespace quillmar {

platform::PlatformString Utf8ToWide(std::string_view utf8) {
  return platform::PlatformString::FromUtf8(utf8);
}

std::string WideToUtf8(const char16_t* text, uint32_t length) {
  std::string utf8(base::MaxUtf8Bytes(length), '\0');
  utf8.resize(*base::Utf16ToUtf8({text, length}, utf8.data(), base::Utf::kReplace));
  return utf8;
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
