// JSON text <-> codec values, as the UI side sends them. Plain JSON covers
// null, booleans, 32- and 64-bit integers (by size), doubles (numbers with a
// fraction or exponent), strings, lists and maps with string keys; one-key
// objects whose key starts with "$" are tagged forms for the rest (see
// README.md). Reading is nlohmann's JSON reader with our tagged forms on
// top; writing is ours, for the ", " layout and escapes the README gives,
// and gives text that reads back to the same value.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "base/secret_memory.h"
#include "channel/encodable_value.h"

namespace quillmar::cli {

class JsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Objects and arrays nested deeper than this are refused.
inline constexpr int kMaxJsonDepth = 512;

// The one value in `text` (blanks around it allowed). Throws JsonError.
EncodableValue ParseJson(std::string_view text);

// One line of JSON; ", " and ": " separate items. Never throws JsonError.
// Kept in wiped memory: values carry secrets.
base::SecretString WriteJson(const EncodableValue& value);

}  // namespace quillmar::cli
