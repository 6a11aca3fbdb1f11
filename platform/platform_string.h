// Counted UTF-16 text, the platform's string type. Its storage is wiped when
// released, because item values and passwords pass through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/secret_memory.h"
#include "platform/buffer.h"
#include "platform/text_conversion.h"

namespace quillmar::platform {

class PlatformString {
 public:
  PlatformString() = default;
  PlatformString(std::u16string_view text) : text_(text) {}
  PlatformString(const char16_t* text) : text_(text) {}
  // Takes the units without a copy (a conversion's output).
  explicit PlatformString(base::SecretU16String units) : text_(std::move(units)) {}

  // The platform's replacing conversions (platform/text_conversion.h). Each
  // result is allocated once and never moves: a caller holding a secret in
  // the UTF-8 text wipes it once.
  static PlatformString FromUtf8(std::string_view utf8) {
    base::SecretU16String units;
    units.resize(ConvertUtf8ToUtf16(utf8, [&units](size_t count) {
      units.resize(count);
      return units.data();
    }));
    return PlatformString(std::move(units));
  }
  std::string ToUtf8() const { return Utf16ToUtf8String(text_); }

  const char16_t* data() const { return text_.c_str(); }
  size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  std::u16string_view view() const { return text_; }

  // Drops the code units; their storage is wiped as it is freed.
  void Clear() { text_.clear(); }

  friend bool operator==(const PlatformString& a, const PlatformString& b) {
    return a.text_ == b.text_;
  }

 private:
  base::SecretU16String text_;
};

}  // namespace quillmar::platform
