// What the cryptography handlers share around their work: argument texts
// that are wiped when the call ends, and the guarded answer.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "channel/encodable_value.h"
#include "channel/method_result.h"
#include "platform/secure_memory.h"

namespace quillmar {

// An argument text that holds a secret (a password, a key, a message); its
// bytes are wiped when the handler ends.
class SecretText {
 public:
  explicit SecretText(std::string text) : text_(std::move(text)) { Wipe(text); }
  ~SecretText() { Wipe(text_); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  const std::string& str() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  static void Wipe(std::string& text) { platform::SecureWipe(text.data(), text.capacity()); }

  std::string text_;
};

// A text argument and the message that answers it when it is empty.
struct EmptinessCheck {
  const std::string& text;
  const char* message;
};

// Answers { "error": message } for the first empty text, in order; false
// when none is empty and nothing was answered.
bool AnswerFirstEmpty(MethodResult& result, std::initializer_list<EmptinessCheck> checks);

// { "error": message }.
EncodableMap ErrorMap(const std::string& message);

// Answers success with what `work` returns; a platform error raised in it is
// answered as { "error": its message }. Every other failure escapes.
void AnswerGuarded(MethodResult& result, const std::function<EncodableMap()>& work);

// { "value": the plaintext read as UTF-8, "authenticationSuccess": true }.
EncodableMap DecryptedReply(const platform::Buffer& plaintext);
// { "authenticationSuccess": false }.
EncodableMap AuthenticationFailedReply();

}  // namespace quillmar
