// UTF-8 text that holds a secret (a password, a key, an item value, a text
// for the clipboard): every buffer it used is wiped when released.
#pragma once

#include <string>
#include <utility>

#include "base/secret_memory.h"

namespace quillmar {

class SecretText {
 public:
  SecretText() = default;
  // A short text is copied, not moved, by a move: the argument's storage is
  // wiped too.
  explicit SecretText(std::string text) : text_(std::move(text)) { WipeStorage(text); }
  SecretText(const SecretText&) = default;
  SecretText& operator=(const SecretText& other) {
    if (this != &other) {
      Wipe();
      text_ = other.text_;
    }
    return *this;
  }
  ~SecretText() { Wipe(); }

  const std::string& str() const { return text_; }
  bool empty() const { return text_.empty(); }

  // Wipes and empties the text.
  void Wipe() noexcept {
    WipeStorage(text_);
    text_.clear();
  }

 private:
  static void WipeStorage(std::string& text) noexcept {
    base::SecureWipe(text.data(), text.capacity());
  }

  std::string text_;
};

}  // namespace quillmar
