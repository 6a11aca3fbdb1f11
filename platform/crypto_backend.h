// The part of every cryptography backend that does not depend on its
// library: base64, UTF-8 and JSON through base/, and the checks of AES's
// key and IV before the backend's cipher sees them.
#pragma once

#include "platform/crypto.h"
#include "platform/crypto_checks.h"
#include "platform/crypto_text.h"

namespace quillmar::platform {

class CryptographyBackend : public Cryptography {
 public:
  Buffer DecodeFromBase64String(const PlatformString& text) final { return DecodeBase64(text); }
  PlatformString EncodeToBase64String(const Buffer& bytes) final { return EncodeBase64(bytes); }
  Buffer ConvertStringToBinary(const PlatformString& text) final { return EncodeUtf8(text); }
  PlatformString ConvertBinaryToString(const Buffer& bytes) final { return DecodeUtf8(bytes); }
  JsonObject ParseJsonObject(const PlatformString& text) final { return ParseJson(text); }

  Buffer EncryptAesCbcPkcs7(const Buffer& key, const Buffer& plaintext, const Buffer& iv) final {
    CheckAesKeyAndIv(key, iv);
    return RunAesCbc(key, plaintext, iv, true);
  }
  Buffer DecryptAesCbcPkcs7(const Buffer& key, const Buffer& ciphertext, const Buffer& iv) final {
    CheckAesKeyAndIv(key, iv);
    return RunAesCbc(key, ciphertext, iv, false);
  }

 protected:
  // AES-256-CBC with PKCS #7 padding under a key and IV of the right sizes.
  virtual Buffer RunAesCbc(const Buffer& key, const Buffer& input, const Buffer& iv,
                           bool encrypt) = 0;
};

}  // namespace quillmar::platform
