// The platform's cryptography: byte buffers and text (CryptographicBuffer),
// HMAC-SHA256, AES-256-CBC with PKCS #7, PBKDF2-HMAC-SHA512, RSA with OAEP
// and PSS, and the JSON string-member read the older message layouts need.
//
// Every function is stateless and may be called from any thread. Every
// refusal raises PlatformError with an HRESULT and a message that names
// what was wrong; no message ever holds a key, a password or message bytes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/buffer.h"
#include "platform/platform_error.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

// HRESULTs of the refusals that have no general code.
inline constexpr HResult kBadData = static_cast<HResult>(0x80090005);    // NTE_BAD_DATA
inline constexpr HResult kBadLength = static_cast<HResult>(0x80090004);  // NTE_BAD_LEN
inline constexpr HResult kInvalidJson =
    static_cast<HResult>(0x83750007);  // WEB_E_INVALID_JSON_STRING
inline constexpr HResult kJsonValueNotFound =
    static_cast<HResult>(0x83750009);  // WEB_E_JSON_VALUE_NOT_FOUND

// The string members of a parsed JSON object (JsonObject); members of other
// kinds are remembered as present but not strings.
class JsonObject {
 public:
  void SetMember(std::u16string name, std::optional<PlatformString> string_value) {
    members_.insert_or_assign(std::move(name), std::move(string_value));
  }

  // The string member `name`. Raises kJsonValueNotFound when there is no
  // such member and kEIllegalMethodCall when it is not a string.
  PlatformString GetNamedString(std::u16string_view name) const {
    auto member = members_.find(name);
    if (member == members_.end()) {
      throw PlatformError(kJsonValueNotFound, PlatformString(u"The JSON object has no member \"" +
                                                             std::u16string(name) + u"\"."));
    }
    if (!member->second) {
      throw PlatformError(
          kEIllegalMethodCall,
          PlatformString(u"The JSON member \"" + std::u16string(name) + u"\" is not a string."));
    }
    return *member->second;
  }

 private:
  std::map<std::u16string, std::optional<PlatformString>, std::less<>> members_;
};

class Cryptography {
 public:
  virtual ~Cryptography() = default;

  // Base64 of RFC 4648 with the standard alphabet and "=" padding, without
  // line breaks. Decoding raises kBadData for any other text (white space,
  // the URL alphabet, missing or misplaced padding); "" decodes to no bytes.
  virtual Buffer DecodeFromBase64String(const PlatformString& text) = 0;
  virtual PlatformString EncodeToBase64String(const Buffer& bytes) = 0;

  // The UTF-8 encoding of `text`; raises kNoUnicodeTranslation for an
  // unpaired surrogate.
  virtual Buffer ConvertStringToBinary(const PlatformString& text) = 0;
  // `bytes` read as UTF-8; raises kNoUnicodeTranslation when they are not
  // well-formed UTF-8.
  virtual PlatformString ConvertBinaryToString(const Buffer& bytes) = 0;

  // `count` bytes from the cryptographic random source; raises kEFail when
  // the source fails.
  virtual Buffer GenerateRandom(uint32_t count) = 0;

  // True when both have the same length and bytes; for equal lengths the
  // time taken does not depend on the contents.
  virtual bool Compare(const Buffer& a, const Buffer& b) = 0;

  // The 32-byte HMAC-SHA256 of `data` under `key` (any length).
  virtual Buffer HmacSha256(const Buffer& key, const Buffer& data) = 0;

  // AES-256 in CBC mode with PKCS #7 padding. Raises kEInvalidArg for a key
  // that is not 32 bytes or an IV that is not 16; decryption raises kBadData
  // for data that is not a ciphertext under that key and IV.
  virtual Buffer EncryptAesCbcPkcs7(const Buffer& key, const Buffer& plaintext,
                                    const Buffer& iv) = 0;
  virtual Buffer DecryptAesCbcPkcs7(const Buffer& key, const Buffer& ciphertext,
                                    const Buffer& iv) = 0;

  // PBKDF2 with HMAC-SHA512 (RFC 8018): `byte_length` bytes. Raises
  // kEInvalidArg when `iteration_count` or `byte_length` is 0 or above
  // 2^31-1 (what a negative signed count becomes), which would hold the
  // calling thread for hours or ask for gigabytes.
  virtual Buffer DeriveKeyMaterialPbkdf2Sha512(const Buffer& password, const Buffer& salt,
                                               uint32_t iteration_count, uint32_t byte_length) = 0;

  // Parses `text` as one JSON object (JsonObject Parse); raises kInvalidJson
  // for text that is not a JSON object.
  virtual JsonObject ParseJsonObject(const PlatformString& text) = 0;

  // RSAES-OAEP with SHA-256 and MGF1-SHA-256, no label, under the RSA
  // public key `public_key` (DER X.509 SubjectPublicKeyInfo). Raises
  // kBadData for a key blob that does not import as an RSA public key and
  // kBadLength for data too long for the key.
  virtual Buffer EncryptRsaOaepSha256(const Buffer& public_key, const Buffer& plaintext) = 0;
  // The inverse, with the RSA key pair `private_key` (DER PKCS #8
  // PrivateKeyInfo). Raises kBadData for a key blob that does not import as
  // an RSA key pair or a ciphertext that does not decrypt. A ciphertext is
  // exactly as long as the key's modulus (RFC 8017 7.1.2 step 1); any other
  // length raises the same kBadData as a failed decoding, before any
  // private-key operation.
  virtual Buffer DecryptRsaOaepSha256(const Buffer& private_key, const Buffer& ciphertext) = 0;
  // RSASSA-PSS over SHA-256 of `message`, MGF1-SHA-256, 32 bytes of salt,
  // with the PKCS #8 key pair `private_key`. Raises kBadData for a key that
  // does not import or cannot sign with these parameters.
  virtual Buffer SignRsaPssSha256(const Buffer& private_key, const Buffer& message) = 0;
};

// Forwards every call to another implementation, so that a test overrides
// only the call it wants to change.
class CryptographyWrapper : public Cryptography {
 public:
  explicit CryptographyWrapper(Cryptography* target) : target_(target) {}

  Buffer DecodeFromBase64String(const PlatformString& text) override {
    return target_->DecodeFromBase64String(text);
  }
  PlatformString EncodeToBase64String(const Buffer& bytes) override {
    return target_->EncodeToBase64String(bytes);
  }
  Buffer ConvertStringToBinary(const PlatformString& text) override {
    return target_->ConvertStringToBinary(text);
  }
  PlatformString ConvertBinaryToString(const Buffer& bytes) override {
    return target_->ConvertBinaryToString(bytes);
  }
  Buffer GenerateRandom(uint32_t count) override { return target_->GenerateRandom(count); }
  bool Compare(const Buffer& a, const Buffer& b) override { return target_->Compare(a, b); }
  Buffer HmacSha256(const Buffer& key, const Buffer& data) override {
    return target_->HmacSha256(key, data);
  }
  Buffer EncryptAesCbcPkcs7(const Buffer& key, const Buffer& plaintext, const Buffer& iv) override {
    return target_->EncryptAesCbcPkcs7(key, plaintext, iv);
  }
  Buffer DecryptAesCbcPkcs7(const Buffer& key, const Buffer& ciphertext,
                            const Buffer& iv) override {
    return target_->DecryptAesCbcPkcs7(key, ciphertext, iv);
  }
  Buffer DeriveKeyMaterialPbkdf2Sha512(const Buffer& password, const Buffer& salt,
                                       uint32_t iteration_count, uint32_t byte_length) override {
    return target_->DeriveKeyMaterialPbkdf2Sha512(password, salt, iteration_count, byte_length);
  }
  JsonObject ParseJsonObject(const PlatformString& text) override {
    return target_->ParseJsonObject(text);
  }
  Buffer EncryptRsaOaepSha256(const Buffer& public_key, const Buffer& plaintext) override {
    return target_->EncryptRsaOaepSha256(public_key, plaintext);
  }
  Buffer DecryptRsaOaepSha256(const Buffer& private_key, const Buffer& ciphertext) override {
    return target_->DecryptRsaOaepSha256(private_key, ciphertext);
  }
  Buffer SignRsaPssSha256(const Buffer& private_key, const Buffer& message) override {
    return target_->SignRsaPssSha256(private_key, message);
  }

 private:
  Cryptography* target_;  // not owned
};

}  // namespace quillmar::platform
