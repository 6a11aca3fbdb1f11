// The replacing conversions between UTF-8 and UTF-16, on each platform's own
// converter: base/utf.h's on Linux, MultiByteToWideChar and
// WideCharToMultiByte (CP_UTF8, flags 0) on Windows. They never fail on
// content: invalid UTF-8 and unpaired surrogates become U+FFFD and zeros are
// kept. How many U+FFFD one malformed sequence gives is the converter's:
// base gives one per maximal subpart, Windows may give another number.
//
// The text is written into storage the caller provides, so that text that
// holds a secret lands only in memory its owner wipes. Each conversion asks
// for room once (never for empty input), writes there and gives the number
// of units written, at most the room asked for: Windows asks for the exact
// size, base for the worst case.
//
// Failures: a text longer than the converter takes raises std::length_error;
// a converter that refuses raises PlatformError (platform/platform_error.h).
// Any thread may call them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quillmar::platform {

// Gives room for a number of units and returns where they go.
template <typename Unit>
using TextRoom = std::function<Unit*(size_t units)>;

size_t ConvertUtf8ToUtf16(std::string_view utf8, const TextRoom<char16_t>& room);
size_t ConvertUtf16ToUtf8(std::u16string_view utf16, const TextRoom<char>& room);

// The UTF-8 of `utf16` as a new string. The caller wipes it when it holds a
// secret.
inline std::string Utf16ToUtf8String(std::u16string_view utf16) {
  std::string utf8;
  utf8.resize(ConvertUtf16ToUtf8(utf16, [&utf8](size_t bytes) {
    utf8.resize(bytes);
    return utf8.data();
  }));
  return utf8;
}

}  // namespace quillmar::platform
