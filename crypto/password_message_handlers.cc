// "encryptToStringWithPassword" and "decryptStringWithPassword": the P001
// text, and the older password layout without a MAC that is still read.
//
// P001: "formatP001-", then base64 of the salt (32 bytes) at 11, of an
// embedded challenge (16) at 55, of its response HMAC-SHA256 (MAC key,
// challenge) at 79, of HMAC-SHA256 (MAC key, salt || IV || ciphertext) at
// 123, of the IV at 167 and of the ciphertext from 191. The key pair is
// PBKDF2-HMAC-SHA512 (password, salt, 100000, 64).
#include "common/arguments.h"
#include "common/substring.h"
#include "crypto/composites.h"
#include "crypto/handler_frame.h"
#include "crypto/handlers.h"

namespace quillmar {

using platform::Buffer;

namespace {

constexpr char kP001Prefix[] = "formatP001-";
constexpr uint32_t kSaltSize = 32;
constexpr uint32_t kChallengeSize = 16;
constexpr uint32_t kIvSize = 16;
constexpr uint32_t kKeyPairSize = 64;
constexpr uint32_t kLegacyKeySize = 32;

EncodableMap DecryptP001(const std::string& text, std::string_view password) {
  std::string salt_text = Substring(text, 11, 44);
  std::string mac_text = Substring(text, 123, 44);
  std::string iv_text = Substring(text, 167, 24);
  std::string ciphertext_text = Substring(text, 191);
  Buffer salt = DecodeBase64Text(salt_text);
  Buffer received_mac = DecodeBase64Text(mac_text);
  Buffer iv = DecodeBase64Text(iv_text);
  Buffer ciphertext = DecodeBase64Text(ciphertext_text);
  KeyPair keys = SplitKey(DerivePasswordKey(password, salt, kKeyPairSize));
  Buffer computed_mac = ComputeMac(keys.mac_key, JoinBuffers({&salt, &iv, &ciphertext}));
  if (!Crypto().Compare(computed_mac, received_mac)) return AuthenticationFailedReply();
  return DecryptedReply(DecryptBytes(keys.cipher_key, ciphertext, iv));
}

// The legacy layout: base64 of a 16-byte salt, of the IV, then of the
// ciphertext; the cipher key is the first 32 bytes of the derivation.
EncodableMap DecryptLegacyLayout(const std::string& text, std::string_view password) {
  std::string salt_text = Substring(text, 0, 24);
  std::string iv_text = Substring(text, 24, 24);
  std::string ciphertext_text = Substring(text, 48);
  Buffer salt = DecodeBase64Text(salt_text);
  Buffer iv = DecodeBase64Text(iv_text);
  Buffer ciphertext = DecodeBase64Text(ciphertext_text);
  Buffer cipher_key = DerivePasswordKey(password, salt, kLegacyKeySize);
  return DecryptedReply(DecryptBytes(cipher_key, ciphertext, iv));
}

}  // namespace

void HandleEncryptToStringWithPassword(const EncodableValue* arguments,
                                       std::unique_ptr<MethodResult> result) {
  base::SecretString message = ReadSecretArgument("message", arguments);
  base::SecretString password = ReadSecretArgument("password", arguments);
  if (AnswerFirstEmpty(
          *result,
          {{message.view(), "EncryptToStringWithPassword received an empty message."},
           {password.view(), "EncryptToStringWithPassword received an empty password."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    Buffer message_bytes = TextToBytes(message.view());
    Buffer salt = Crypto().GenerateRandom(kSaltSize);
    KeyPair keys = SplitKey(DerivePasswordKey(password.view(), salt, kKeyPairSize));
    Buffer iv = Crypto().GenerateRandom(kIvSize);
    Buffer ciphertext = EncryptBytes(keys.cipher_key, message_bytes, iv);
    Buffer mac = ComputeMac(keys.mac_key, JoinBuffers({&salt, &iv, &ciphertext}));
    Buffer challenge = Crypto().GenerateRandom(kChallengeSize);
    Buffer challenge_response = ComputeMac(keys.mac_key, challenge);
    std::string text = kP001Prefix + EncodeBase64Text(salt) + EncodeBase64Text(challenge) +
                       EncodeBase64Text(challenge_response) + EncodeBase64Text(mac) +
                       EncodeBase64Text(iv) + EncodeBase64Text(ciphertext);
    return MakeReplyMap({{"encryptedMessage", text}});
  });
}

void HandleDecryptStringWithPassword(const EncodableValue* arguments,
                                     std::unique_ptr<MethodResult> result) {
  std::string encrypted = ReadStringArgument("encryptedMessage", arguments);
  base::SecretString password = ReadSecretArgument("password", arguments);
  if (AnswerFirstEmpty(
          *result, {{encrypted, "DecryptStringWithPassword received an empty encryptedMessage."},
                    {password.view(), "DecryptStringWithPassword received an empty password."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    if (encrypted.starts_with(kP001Prefix)) return DecryptP001(encrypted, password.view());
    return DecryptLegacyLayout(encrypted, password.view());
  });
}

}  // namespace quillmar
