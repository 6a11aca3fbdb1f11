// Counted UTF-16 text, the platform's string type. Its storage is wiped when
// released, because item values and passwords pass through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/buffer.h"
#include "platform/text_conversion.h"

namespace quillmar::platform {

class PlatformString {
 public:
  PlatformString() = default;
  PlatformString(std::u16string_view text) : text_(text) {}
  PlatformString(const char16_t* text) : text_(text) {}
  PlatformString(const PlatformString&) = default;
  PlatformString(PlatformString&& other) noexcept : text_(std::move(other.text_)) {
    other.WipeStorage();
  }
  PlatformString& operator=(const PlatformString& other) {
    if (this != &other) {
      Clear();
      text_ = other.text_;
    }
    return *this;
  }
  PlatformString& operator=(PlatformString&& other) noexcept {
    if (this != &other) {
      Clear();
      text_ = std::move(other.text_);
      other.WipeStorage();
    }
    return *this;
  }
  ~PlatformString() { Clear(); }

  // The platform's replacing conversions (platform/text_conversion.h). Each
  // result is allocated once and never moves: a caller holding a secret in
  // the UTF-8 text wipes it once.
  static PlatformString FromUtf8(std::string_view utf8) {
    PlatformString text;
    text.text_.resize(ConvertUtf8ToUtf16(utf8, [&text](size_t units) {
      text.text_.resize(units);
      return text.text_.data();
    }));
    return text;
  }
  std::string ToUtf8() const { return Utf16ToUtf8String(text_); }

  const char16_t* data() const { return text_.c_str(); }
  size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  std::u16string_view view() const { return text_; }

  // Wipes the code units before dropping them.
  void Clear() {
    SecureWipe(text_.data(), text_.size() * sizeof(char16_t));
    text_.clear();
  }

  friend bool operator==(const PlatformString& a, const PlatformString& b) {
    return a.text_ == b.text_;
  }

 private:
  // A short text lives inside the object and a move copies it, leaving the
  // units behind: the whole storage is wiped, not just the length.
  void WipeStorage() noexcept {
    SecureWipe(text_.data(), text_.capacity() * sizeof(char16_t));
    text_.clear();
  }

  std::u16string text_;
};

}  // namespace quillmar::platform
