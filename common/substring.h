// Substrings that fail with the system's own text when cut past the end.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmar {

// Up to `count` characters of `text` from `position`; raises
// std::out_of_range("invalid string position") when `position` is past the end.
inline std::string Substring(std::string_view text, size_t position,
                             size_t count = std::string_view::npos) {
  if (position > text.size()) throw std::out_of_range("invalid string position");
  return std::string(text.substr(position, count));
}

}  // namespace quillmar
