// "encryptToStringWithKey" and "decryptStringWithKey": the K001 text, and
// the two older layouts without a MAC that are still read.
//
// K001: "formatK001-", base64 of HMAC-SHA256 (MAC key, IV || ciphertext) at
// 11, base64 of the IV at 55, base64 of the ciphertext from 79.
#include <optional>

#include "common/arguments.h"
#include "common/substring.h"
#include "common/text.h"
#include "crypto/composites.h"
#include "crypto/handler_frame.h"
#include "crypto/handlers.h"

namespace quillmar {

using platform::Buffer;

namespace {

constexpr char kK001Prefix[] = "formatK001-";
constexpr uint32_t kKeySize = 64;
constexpr uint32_t kIvSize = 16;

EncodableMap DecryptK001(const std::string& text, std::string_view key_base64) {
  Buffer key = DecodeBase64Text(key_base64);
  if (key.Length() < kKeySize) {
    return ErrorMap("DecryptStringWithKey received an key shorter than 64 bytes.");
  }
  std::string mac_text = Substring(text, 11, 44);
  std::string iv_text = Substring(text, 55, 24);
  std::string ciphertext_text = Substring(text, 79);
  Buffer received_mac = DecodeBase64Text(mac_text);
  Buffer iv = DecodeBase64Text(iv_text);
  Buffer ciphertext = DecodeBase64Text(ciphertext_text);
  KeyPair keys = SplitKey(key);
  Buffer computed_mac = ComputeMac(keys.mac_key, JoinBuffers({&iv, &ciphertext}));
  if (!Crypto().Compare(received_mac, computed_mac)) return AuthenticationFailedReply();
  return DecryptedReply(DecryptBytes(keys.cipher_key, ciphertext, iv));
}

// The JSON layout: {"iv": base64, "cipher": base64}. Nothing is reported
// from here: any failure hands the text on to the bare layout.
std::optional<EncodableMap> TryDecryptJsonLayout(const std::string& text,
                                                 std::string_view key_base64) {
  try {
    platform::JsonObject object = Crypto().ParseJsonObject(Utf8ToWide(text));
    platform::PlatformString iv_text = object.GetNamedString(u"iv");
    platform::PlatformString ciphertext_text = object.GetNamedString(u"cipher");
    Buffer ciphertext = Crypto().DecodeFromBase64String(ciphertext_text);
    Buffer iv = Crypto().DecodeFromBase64String(iv_text);
    Buffer key = DecodeBase64Text(key_base64);
    return DecryptedReply(DecryptBytes(SplitCipherKey(key), ciphertext, iv));
  } catch (...) {
    return std::nullopt;
  }
}

// The bare layout: base64 of the IV in characters 0 to 23, then base64 of
// the ciphertext.
EncodableMap DecryptBareLayout(const std::string& text, std::string_view key_base64) {
  std::string iv_text = Substring(text, 0, 24);
  std::string ciphertext_text = Substring(text, 24);
  Buffer iv = DecodeBase64Text(iv_text);
  Buffer ciphertext = DecodeBase64Text(ciphertext_text);
  Buffer key = DecodeBase64Text(key_base64);
  return DecryptedReply(DecryptBytes(SplitCipherKey(key), ciphertext, iv));
}

}  // namespace

void HandleEncryptToStringWithKey(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result) {
  base::SecretString message = ReadSecretArgument("message", arguments);
  base::SecretString key_base64 = ReadSecretArgument("key512Base64", arguments);
  if (AnswerFirstEmpty(
          *result,
          {{message.view(), "EncryptToStringWithKey received an empty message."},
           {key_base64.view(), "EncryptToStringWithKey received an empty key512Base64."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    Buffer key = DecodeBase64Text(key_base64.view());
    if (key.Length() < kKeySize) {
      return ErrorMap("EncryptToStringWithKey received an key shorter than 64 bytes.");
    }
    Buffer message_bytes = TextToBytes(message.view());
    KeyPair keys = SplitKey(key);
    Buffer iv = Crypto().GenerateRandom(kIvSize);
    Buffer ciphertext = EncryptBytes(keys.cipher_key, message_bytes, iv);
    Buffer mac = ComputeMac(keys.mac_key, JoinBuffers({&iv, &ciphertext}));
    std::string text =
        kK001Prefix + EncodeBase64Text(mac) + EncodeBase64Text(iv) + EncodeBase64Text(ciphertext);
    return MakeReplyMap({{"encryptedMessage", text}});
  });
}

void HandleDecryptStringWithKey(const EncodableValue* arguments,
                                std::unique_ptr<MethodResult> result) {
  std::string encrypted = ReadStringArgument("encryptedMessage", arguments);
  base::SecretString key_base64 = ReadSecretArgument("key512Base64", arguments);
  if (AnswerFirstEmpty(
          *result, {{encrypted, "DecryptStringWithKey received an empty encryptedMessage."},
                    {key_base64.view(), "DecryptStringWithKey received an empty key512Base64."}})) {
    return;
  }
  AnswerGuarded(*result, [&] {
    if (encrypted.starts_with(kK001Prefix)) return DecryptK001(encrypted, key_base64.view());
    if (auto reply = TryDecryptJsonLayout(encrypted, key_base64.view())) return std::move(*reply);
    return DecryptBareLayout(encrypted, key_base64.view());
  });
}

}  // namespace quillmar
