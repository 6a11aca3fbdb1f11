// base's conversions: one U+FFFD per maximal invalid subpart. They write
// into room for the worst case, which the caller trims.
#include "base/utf.h"
#include "platform/text_conversion.h"

namespace quillmar::platform {

size_t ConvertUtf8ToUtf16(std::string_view utf8, const TextRoom<char16_t>& room) {
  if (utf8.empty()) return 0;
  char16_t* out = room(base::MaxUtf16Units(utf8.size()));
  return *base::Utf8ToUtf16(utf8, out, base::Utf::kReplace);
}

size_t ConvertUtf16ToUtf8(std::u16string_view utf16, const TextRoom<char>& room) {
  if (utf16.empty()) return 0;
  char* out = room(base::MaxUtf8Bytes(utf16.size()));
  return *base::Utf16ToUtf8(utf16, out, base::Utf::kReplace);
}

}  // namespace quillmar::platform
