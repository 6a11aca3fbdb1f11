// Counted UTF-16 text, the platform's string type. Its storage is wiped when
// released, because item values and passwords pass through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/utf.h"
#include "platform/buffer.h"

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

  // The replacing conversions of base/utf.h. The UTF-8 text is sized for the
  // worst case, so it never moves: a caller holding a secret wipes it once.
  static PlatformString FromUtf8(std::string_view utf8) {
    PlatformString text;
    text.text_.resize(base::MaxUtf16Units(utf8.size()));
    text.text_.resize(*base::Utf8ToUtf16(utf8, text.text_.data(), base::Utf::kReplace));
    return text;
  }
  std::string ToUtf8() const {
    std::string utf8(base::MaxUtf8Bytes(text_.size()), '\0');
    utf8.resize(*base::Utf16ToUtf8(text_, utf8.data(), base::Utf::kReplace));
    return utf8;
  }

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
