// The one base64: the standard alphabet with "=" padding (RFC 4648 4), read
// strictly. A text whose length is not a multiple of four, a character
// outside the alphabet or padding anywhere but at the end is refused. Texts
// come as UTF-8 or UTF-16; output goes to storage the caller gives, so that
// a caller holding a secret keeps and wipes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmar::base {

constexpr size_t Base64Length(size_t byte_count) { return (byte_count + 2) / 3 * 4; }
// The most bytes a text of `text_length` characters can decode to.
constexpr size_t MaxBase64Bytes(size_t text_length) { return text_length / 4 * 3; }

// Writes the base64 of `size` bytes at `bytes` to `out`, which has room for
// Base64Length(size) characters.
void EncodeBase64(const uint8_t* bytes, size_t size, char* out);
void EncodeBase64(const uint8_t* bytes, size_t size, char16_t* out);

// Writes the bytes of `text` to `out`, which has room for
// MaxBase64Bytes(text.size()) bytes, and gives their number; none when
// `text` is not base64.
std::optional<size_t> DecodeBase64(std::string_view text, uint8_t* out);
std::optional<size_t> DecodeBase64(std::u16string_view text, uint8_t* out);

}  // namespace quillmar::base
