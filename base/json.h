// The one JSON reader for outside text: strict RFC 8259, for one top-level
// object of which only the string members are wanted (the older message
// layouts need nothing more). It reads attacker-controlled text, so nesting
// deeper than any layout has is refused rather than followed into the stack.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar::base {

struct JsonMember {
  std::u16string name;
  std::optional<std::u16string> text;  // none for a member that is not a string
};

// The members of the object `text` holds, in the order they are written;
// none when `text` is not exactly one JSON object.
std::optional<std::vector<JsonMember>> ReadJsonObject(std::u16string_view text);

}  // namespace quillmar::base
