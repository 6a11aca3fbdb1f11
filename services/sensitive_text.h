// UTF-8 text that holds a secret and is wiped when released.
#pragma once

#include <string>
#include <utility>

#include "platform/secure_memory.h"

namespace quillmar {

class SensitiveText {
 public:
  SensitiveText() = default;
  // A short text is copied, not moved: the argument's bytes are wiped too.
  explicit SensitiveText(std::string text) : text_(text) {
    platform::SecureWipe(text.data(), text.size());
  }
  SensitiveText(const SensitiveText&) = default;
  SensitiveText& operator=(const SensitiveText& other) {
    if (this != &other) {
      Wipe();
      text_ = other.text_;
    }
    return *this;
  }
  ~SensitiveText() { Wipe(); }

  const std::string& value() const { return text_; }
  bool empty() const { return text_.empty(); }

  void Wipe() {
    platform::SecureWipe(text_.data(), text_.size());
    text_.clear();
  }

 private:
  std::string text_;
};

}  // namespace quillmar
