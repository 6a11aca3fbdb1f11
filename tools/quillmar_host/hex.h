// Message bytes as hex text, for the raw command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar::cli {

// Pairs of hex digits in either case; blanks and line ends between pairs
// are skipped. Nothing on any other text.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text);

// Lowercase, no separators.
std::string ToHex(const std::vector<uint8_t>& bytes);

}  // namespace quillmar::cli
