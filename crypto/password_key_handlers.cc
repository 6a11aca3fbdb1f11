// "deriveBitsFromPassword" and "computePasswordChallengeResponse".
#include "common/arguments.h"
#include "common/text.h"
#include "crypto/composites.h"
#include "crypto/handler_frame.h"
#include "crypto/handlers.h"

namespace quillmar {

using platform::Buffer;

void HandleDeriveBitsFromPassword(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result) {
  base::SecretString password = ReadSecretArgument("password", arguments);
  std::string salt_base64 = ReadStringArgument("saltBase64", arguments);
  int32_t iteration_count = ReadIntArgument("iterationCount", arguments, 1);
  int32_t output_byte_length = ReadIntArgument("outputByteLength", arguments, 64);
  if (AnswerFirstEmpty(
          *result,
          {{password.view(), "DeriveBitsFromPassword received an empty password."},
           {salt_base64, "DeriveBitsFromPassword received an empty passwordDerivationSalt."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    Buffer salt = DecodeBase64Text(salt_base64);
    // A negative count becomes a large unsigned one, which the derivation refuses.
    Buffer bits =
        DerivePasswordKey(Utf8ToWide(password.view()), salt, static_cast<uint32_t>(iteration_count),
                          static_cast<uint32_t>(output_byte_length));
    return MakeReplyMap({{"derivedBits", EncodeBase64Text(bits)}});
  });
}

void HandleComputePasswordChallengeResponse(const EncodableValue* arguments,
                                            std::unique_ptr<MethodResult> result) {
  base::SecretString password = ReadSecretArgument("password", arguments);
  std::string salt_base64 = ReadStringArgument("passwordDerivationSaltBase64", arguments);
  std::string challenge_base64 = ReadStringArgument("passwordChallengeBase64", arguments);
  if (AnswerFirstEmpty(
          *result,
          {{password.view(), "ComputePasswordChallengeResponse received an empty password."},
           {salt_base64,
            "ComputePasswordChallengeResponse received an empty passwordDerivationSaltBase64."},
           {challenge_base64,
            "ComputePasswordChallengeResponse received an empty passwordChallengeBase64."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    Buffer challenge = DecodeBase64Text(challenge_base64);
    Buffer salt = DecodeBase64Text(salt_base64);
    KeyPair keys = SplitKey(DerivePasswordKey(password.view(), salt, 64));
    Buffer response = ComputeMac(keys.mac_key, challenge);
    return MakeReplyMap({{"challengeResponse", EncodeBase64Text(response)}});
  });
}

}  // namespace quillmar
