// The one conversion between UTF-8 and UTF-16. The replacing mode never
// fails on content: each maximal invalid UTF-8 subpart and each unpaired
// surrogate becomes U+FFFD. The strict mode refuses what the replacing mode
// would replace. Embedded zeros are kept in both.
//
// The conversions write into storage the caller gives, sized for the worst
// case, so that a caller holding a secret decides how that storage is kept
// and wiped; nothing is allocated behind its back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillmar::base {

enum class Utf { kReplace, kStrict };

// The most UTF-16 code units `utf8_bytes` bytes of UTF-8 can become.
constexpr size_t MaxUtf16Units(size_t utf8_bytes) { return utf8_bytes; }
// The most UTF-8 bytes `utf16_units` code units can become.
constexpr size_t MaxUtf8Bytes(size_t utf16_units) { return utf16_units * 3; }

// Writes the UTF-16 of `utf8` to `out`, which has room for
// MaxUtf16Units(utf8.size()) units, and gives the number written; none when
// `mode` is kStrict and `utf8` is malformed (`out` then holds a prefix).
std::optional<size_t> Utf8ToUtf16(std::string_view utf8, char16_t* out, Utf mode);

// Writes the UTF-8 of `utf16` to `out`, which has room for
// MaxUtf8Bytes(utf16.size()) bytes, and gives the number written; none when
// `mode` is kStrict and `utf16` holds an unpaired surrogate.
std::optional<size_t> Utf16ToUtf8(std::u16string_view utf16, char* out, Utf mode);

// Replacing conversions into new strings, for text that holds no secret.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace quillmar::base
