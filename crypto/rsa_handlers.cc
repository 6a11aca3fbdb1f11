// "encryptToStringWithPublicKey", "decryptStringWithPrivateKey" and
// "signChallenge": RSA with keys the caller brings as base64 of DER
// (SubjectPublicKeyInfo, PKCS #8), imported for the one call.
#include "common/arguments.h"
#include "crypto/composites.h"
#include "crypto/handler_frame.h"
#include "crypto/handlers.h"

namespace quillmar {

using platform::Buffer;

void HandleEncryptToStringWithPublicKey(const EncodableValue* arguments,
                                        std::unique_ptr<MethodResult> result) {
  base::SecretString message = ReadSecretArgument("message", arguments);
  std::string public_key_base64 = ReadStringArgument("publicKeyBase64", arguments);
  AnswerGuarded(*result, [&] {
    Buffer message_bytes = TextToBytes(message.view());
    Buffer public_key = DecodeBase64Text(public_key_base64);
    Buffer ciphertext = Crypto().EncryptRsaOaepSha256(public_key, message_bytes);
    return MakeReplyMap({{"ciphertext", EncodeBase64Text(ciphertext)}});
  });
}

void HandleDecryptStringWithPrivateKey(const EncodableValue* arguments,
                                       std::unique_ptr<MethodResult> result) {
  std::string ciphertext_base64 = ReadStringArgument("ciphertext", arguments);
  base::SecretString private_key_base64 = ReadSecretArgument("privateKeyBase64", arguments);
  AnswerGuarded(*result, [&] {
    Buffer ciphertext = DecodeBase64Text(ciphertext_base64);
    Buffer private_key = DecodeBase64Text(private_key_base64.view());
    Buffer plaintext = Crypto().DecryptRsaOaepSha256(private_key, ciphertext);
    return MakeReplyMap({{"plaintext", BytesToText(plaintext)}});
  });
}

void HandleSignChallenge(const EncodableValue* arguments, std::unique_ptr<MethodResult> result) {
  std::string challenge_base64 = ReadStringArgument("challengeBase64", arguments);
  base::SecretString private_key_base64 = ReadSecretArgument("privateKeyBase64", arguments);
  AnswerGuarded(*result, [&] {
    Buffer challenge = DecodeBase64Text(challenge_base64);
    Buffer private_key = DecodeBase64Text(private_key_base64.view());
    Buffer signature = Crypto().SignRsaPssSha256(private_key, challenge);
    return MakeReplyMap({{"signedChallenge", EncodeBase64Text(signature)}});
  });
}

}  // namespace quillmar
