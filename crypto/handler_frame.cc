#include "crypto/handler_frame.h"

#include <optional>

#include "common/arguments.h"
#include "common/text.h"
#include "crypto/composites.h"
#include "platform/platform_error.h"

namespace quillmar {

EncodableMap ErrorMap(const std::string& message) { return MakeReplyMap({{"error", message}}); }

bool AnswerFirstEmpty(MethodResult& result, std::initializer_list<EmptinessCheck> checks) {
  for (const EmptinessCheck& check : checks) {
    if (check.text.empty()) {
      result.Success(EncodableValue(ErrorMap(check.message)));
      return true;
    }
  }
  return false;
}

void AnswerGuarded(MethodResult& result, const std::function<EncodableMap()>& work) {
  std::optional<EncodableMap> reply;
  try {
    reply = work();
  } catch (const platform::PlatformError& error) {
    reply = ErrorMap(PlatformErrorMessage(error));
  }
  result.Success(EncodableValue(std::move(*reply)));
}

EncodableMap DecryptedReply(const platform::Buffer& plaintext) {
  return MakeReplyMap({{"value", BytesToText(plaintext)}, {"authenticationSuccess", true}});
}

EncodableMap AuthenticationFailedReply() {
  return MakeReplyMap({{"authenticationSuccess", false}});
}

}  // namespace quillmar
