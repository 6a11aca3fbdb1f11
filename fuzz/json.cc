// Feeds arbitrary UTF-16 text to the strict JSON reader of the legacy
// message layout. An object it reads, written back with its string members
// escaped, must read again to the same members.
#include "base/json.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using quillmar::base::JsonMember;
using quillmar::base::ReadJsonObject;

void AppendString(std::u16string* out, const std::u16string& text) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  out->push_back(u'"');
  for (char16_t unit : text) {
    if (unit == u'"' || unit == u'\\') {
      out->push_back(u'\\');
      out->push_back(unit);
    } else if (unit < 0x20 || (unit >= 0xD800 && unit <= 0xDFFF)) {
      out->append(u"\\u");
      for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHex[(unit >> shift) & 0xF]);
    } else {
      out->push_back(unit);
    }
  }
  out->push_back(u'"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  std::optional<std::vector<JsonMember>> members = ReadJsonObject(text);
  if (!members) return 0;
  std::u16string written = u"{";
  for (const JsonMember& member : *members) {
    if (written.size() > 1) written.push_back(u',');
    AppendString(&written, member.name);
    written.push_back(u':');
    if (member.text) {
      AppendString(&written, *member.text);
    } else {
      written.append(u"null");
    }
  }
  written.push_back(u'}');
  std::optional<std::vector<JsonMember>> again = ReadJsonObject(written);
  if (!again || again->size() != members->size()) std::abort();
  for (size_t i = 0; i < members->size(); ++i) {
    if ((*again)[i].name != (*members)[i].name || (*again)[i].text != (*members)[i].text) {
      std::abort();
    }
  }
  return 0;
}
