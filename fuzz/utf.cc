// Feeds arbitrary bytes to the UTF-8/UTF-16 conversions, as UTF-8 and as
// UTF-16 code units. The replacing mode always gives well-formed text; the
// strict mode, when it accepts, gives text that converts back to the input.
#include "base/utf.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillmar::base::MaxUtf16Units;
using quillmar::base::MaxUtf8Bytes;
using quillmar::base::Utf;
using quillmar::base::Utf16ToUtf8;
using quillmar::base::Utf8ToUtf16;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::optional<std::u16string> ToUtf16(std::string_view utf8, Utf mode) {
  std::u16string out(MaxUtf16Units(utf8.size()), u'\0');
  std::optional<size_t> written = Utf8ToUtf16(utf8, out.data(), mode);
  if (!written) return std::nullopt;
  Check(*written <= out.size());
  out.resize(*written);
  return out;
}

std::optional<std::string> ToUtf8(std::u16string_view utf16, Utf mode) {
  std::string out(MaxUtf8Bytes(utf16.size()), '\0');
  std::optional<size_t> written = Utf16ToUtf8(utf16, out.data(), mode);
  if (!written) return std::nullopt;
  Check(*written <= out.size());
  out.resize(*written);
  return out;
}

void CheckUtf8(std::string_view utf8) {
  std::optional<std::u16string> replaced = ToUtf16(utf8, Utf::kReplace);
  Check(replaced.has_value());
  Check(*replaced == Utf8ToUtf16(utf8));
  // What the replacing mode gives holds no unpaired surrogate.
  Check(ToUtf8(*replaced, Utf::kStrict).has_value());
  if (std::optional<std::u16string> strict = ToUtf16(utf8, Utf::kStrict)) {
    Check(*strict == *replaced);
    Check(ToUtf8(*strict, Utf::kStrict) == std::string(utf8));
  }
}

void CheckUtf16(std::u16string_view utf16) {
  std::optional<std::string> replaced = ToUtf8(utf16, Utf::kReplace);
  Check(replaced.has_value());
  Check(*replaced == Utf16ToUtf8(utf16));
  Check(ToUtf16(*replaced, Utf::kStrict).has_value());
  if (std::optional<std::string> strict = ToUtf8(utf16, Utf::kStrict)) {
    Check(*strict == *replaced);
    Check(ToUtf16(*strict, Utf::kStrict) == std::u16string(utf16));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  CheckUtf16(units);
  return 0;
}
