// Message bytes as hex text, for the raw command. Both sides are kept in
// wiped memory: messages and replies carry secrets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/secret_memory.h"

namespace quillmar::cli {

// Pairs of hex digits in either case; blanks and line ends between pairs
// are skipped. Nothing on any other text.
std::optional<base::SecretBytes> ParseHex(std::string_view text);

// Lowercase, no separators.
base::SecretString ToHex(const uint8_t* bytes, size_t size);
template <class Bytes>
base::SecretString ToHex(const Bytes& bytes) {
  return ToHex(bytes.data(), bytes.size());
}

}  // namespace quillmar::cli
