// What the cryptography handlers share around their work: the emptiness
// checks and the guarded answer.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "channel/encodable_value.h"
#include "channel/method_result.h"
#include "platform/buffer.h"

namespace quillmar {

// A text argument and the message that answers it when it is empty.
struct EmptinessCheck {
  std::string_view text;
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
