// Conversions between the channel's UTF-8 and the platform's UTF-16, on the
// platform's replacing converter (platform/text_conversion.h). They never
// fail on content: invalid UTF-8 and unpaired surrogates become U+FFFD;
// embedded zeros are kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform_error.h"
#include "platform/platform_string.h"

namespace quillmar {

platform::PlatformString Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(const char16_t* text, uint32_t length);
std::string WideToUtf8(const platform::PlatformString& text);
// `text` is zero-terminated and never null.
std::string WideCStringToUtf8(const char16_t* text);

// The message text of a platform error, in UTF-8.
std::string PlatformErrorMessage(const platform::PlatformError& error);

}  // namespace quillmar
