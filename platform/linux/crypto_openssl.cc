// The Linux cryptography backend on OpenSSL 3's libcrypto. OpenSSL's own
// error texts are not passed on: each refusal carries a fixed message that
// says what was wrong and never any of the bytes involved. RSA keys are read
// by base/'s strict DER reader, as on Windows, and handed to OpenSSL as
// numbers, so both accept the same keys.
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

#include "base/der_reader.h"
#include "platform/crypto_backend.h"
#include "platform/linux/sha512_block.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree>;

// Raises the refusal; OpenSSL's queued reasons are dropped with it.
[[noreturn]] void Refuse(HResult code, const char16_t* message) {
  ERR_clear_error();
  throw PlatformError(code, PlatformString(message));
}

void Require(bool ok, HResult code, const char16_t* message) {
  if (!ok) Refuse(code, message);
}

// OpenSSL takes lengths as int.
int IntLength(const Buffer& buffer) {
  CheckDataLength(buffer);
  return static_cast<int>(buffer.size());
}

// One RSA number as OpenSSL's parameter wants it: unsigned, in the
// machine's byte order.
class RsaNumber {
 public:
  RsaNumber(const char* name, base::ByteView magnitude)
      : name_(name), bytes_(magnitude.data(), magnitude.size()) {
    if constexpr (std::endian::native == std::endian::little) {
      std::reverse(bytes_.data(), bytes_.data() + bytes_.size());
    }
  }

  OSSL_PARAM Param() { return OSSL_PARAM_construct_BN(name_, bytes_.data(), bytes_.size()); }

 private:
  const char* name_;
  Buffer bytes_;  // wiped: most numbers of a key pair are secret
};

// An RSA key made from numbers the DER reader has checked; `selection` is
// EVP_PKEY_PUBLIC_KEY or EVP_PKEY_KEYPAIR.
Pkey RsaKeyFromNumbers(std::vector<RsaNumber>& numbers, int selection, const char16_t* refusal) {
  std::vector<OSSL_PARAM> params;
  for (RsaNumber& number : numbers) params.push_back(number.Param());
  params.push_back(OSSL_PARAM_construct_end());
  PkeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  bool made = context && EVP_PKEY_fromdata_init(context.get()) > 0 &&
              EVP_PKEY_fromdata(context.get(), &key, selection, params.data()) > 0;
  Pkey owned(key);
  Require(made && owned, kBadData, refusal);
  return owned;
}

Pkey ImportPublicKey(const Buffer& blob) {
  std::optional<base::RsaPublicKeyFields> fields =
      base::ReadRsaSubjectPublicKeyInfo(base::ByteView(blob.data(), blob.size()));
  Require(fields.has_value(), kBadData, kNotRsaPublicKey);
  std::vector<RsaNumber> numbers;
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_N, fields->modulus);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_E, fields->public_exponent);
  return RsaKeyFromNumbers(numbers, EVP_PKEY_PUBLIC_KEY, kNotRsaPublicKey);
}

Pkey ImportKeyPair(const Buffer& blob) {
  std::optional<base::RsaPrivateKeyFields> fields =
      base::ReadRsaPrivateKeyInfo(base::ByteView(blob.data(), blob.size()));
  Require(fields.has_value(), kBadData, kNotRsaKeyPair);
  std::vector<RsaNumber> numbers;
  numbers.reserve(8);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_N, fields->modulus);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_E, fields->public_exponent);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_D, fields->private_exponent);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_FACTOR1, fields->prime1);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_FACTOR2, fields->prime2);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_EXPONENT1, fields->exponent1);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_EXPONENT2, fields->exponent2);
  numbers.emplace_back(OSSL_PKEY_PARAM_RSA_COEFFICIENT1, fields->coefficient);
  return RsaKeyFromNumbers(numbers, EVP_PKEY_KEYPAIR, kNotRsaKeyPair);
}

// A context for OAEP with SHA-256 for the digest and the mask, no label.
PkeyContext OaepSha256Context(EVP_PKEY* key, bool encrypt) {
  PkeyContext context(EVP_PKEY_CTX_new(key, nullptr));
  bool ready =
      context &&
      (encrypt ? EVP_PKEY_encrypt_init(context.get()) : EVP_PKEY_decrypt_init(context.get())) > 0 &&
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING) > 0 &&
      EVP_PKEY_CTX_set_rsa_oaep_md(context.get(), EVP_sha256()) > 0 &&
      EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), EVP_sha256()) > 0;
  Require(ready, kEFail, kOaepSetUp);
  return context;
}

class OpenSslCryptography : public CryptographyBackend {
 public:
  Buffer GenerateRandom(uint32_t count) override {
    CheckRandomCount(count);
    Buffer bytes(count);
    Require(RAND_bytes(bytes.data(), static_cast<int>(count)) == 1, kEFail, kRandomFailed);
    return bytes;
  }

  bool Compare(const Buffer& a, const Buffer& b) override {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
  }

  Buffer HmacSha256(const Buffer& key, const Buffer& data) override {
    static const unsigned char kNoKey = 0;
    Buffer mac(kSha256Size);
    unsigned int size = 0;
    bool ok = HMAC(EVP_sha256(), key.empty() ? &kNoKey : key.data(), IntLength(key), data.data(),
                   data.size(), mac.data(), &size) != nullptr;
    Require(ok && size == kSha256Size, kEFail, kHmacFailed);
    return mac;
  }

  Buffer DeriveKeyMaterialPbkdf2Sha512(const Buffer& password, const Buffer& salt,
                                       uint32_t iteration_count, uint32_t byte_length) override {
    CheckPbkdf2Counts(iteration_count, byte_length);
    Buffer derived(byte_length);
    Pbkdf2HmacSha512(password.data(), password.size(), salt.data(), salt.size(), iteration_count,
                     derived.data(), derived.size());
    return derived;
  }

  Buffer EncryptRsaOaepSha256(const Buffer& public_key, const Buffer& plaintext) override {
    Pkey key = ImportPublicKey(public_key);
    PkeyContext context = OaepSha256Context(key.get(), true);
    size_t modulus_size = static_cast<size_t>(EVP_PKEY_get_size(key.get()));
    CheckOaepPlaintextFits(plaintext, modulus_size);
    size_t size = modulus_size;
    Buffer ciphertext(size);
    Require(EVP_PKEY_encrypt(context.get(), ciphertext.data(), &size, plaintext.data(),
                             plaintext.size()) > 0,
            kBadData, kOaepEncryptionFailed);
    ciphertext.Resize(size);
    return ciphertext;
  }

  Buffer DecryptRsaOaepSha256(const Buffer& private_key, const Buffer& ciphertext) override {
    Pkey key = ImportKeyPair(private_key);
    PkeyContext context = OaepSha256Context(key.get(), false);
    size_t size = static_cast<size_t>(EVP_PKEY_get_size(key.get()));
    // OpenSSL reads a shorter ciphertext as if it had leading zeros.
    CheckRsaCiphertextLength(ciphertext, size);
    Buffer plaintext(size);
    Require(EVP_PKEY_decrypt(context.get(), plaintext.data(), &size, ciphertext.data(),
                             ciphertext.size()) > 0,
            kBadData, kNotDecrypted);
    // Copied rather than shrunk: a buffer wipes only its current length.
    return Buffer(plaintext.data(), size);
  }

  Buffer SignRsaPssSha256(const Buffer& private_key, const Buffer& message) override {
    Pkey key = ImportKeyPair(private_key);
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> digest(EVP_MD_CTX_new());
    EVP_PKEY_CTX* context = nullptr;  // owned by `digest`
    bool ready = digest &&
                 EVP_DigestSignInit(digest.get(), &context, EVP_sha256(), nullptr, key.get()) > 0 &&
                 EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PSS_PADDING) > 0 &&
                 EVP_PKEY_CTX_set_rsa_pss_saltlen(context, static_cast<int>(kSha256Size)) > 0 &&
                 EVP_PKEY_CTX_set_rsa_mgf1_md(context, EVP_sha256()) > 0;
    Require(ready, kEFail, kPssSetUp);
    size_t size = static_cast<size_t>(EVP_PKEY_get_size(key.get()));
    Buffer signature(size);
    Require(
        EVP_DigestSign(digest.get(), signature.data(), &size, message.data(), message.size()) > 0,
        kBadData, kCannotSignPss);
    signature.Resize(size);
    return signature;
  }

 private:
  Buffer RunAesCbc(const Buffer& key, const Buffer& input, const Buffer& iv,
                   bool encrypt) override {
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
    Require(context && EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(),
                                         iv.data(), encrypt ? 1 : 0) == 1,
            kEFail, kAesSetUp);
    Buffer output(input.size() + kAesBlockSize);
    int written = 0;
    int last = 0;
    bool ok = EVP_CipherUpdate(context.get(), output.data(), &written, input.data(),
                               IntLength(input)) == 1 &&
              EVP_CipherFinal_ex(context.get(), output.data() + written, &last) == 1;
    Require(ok, kBadData, kNotAesCiphertext);
    return Buffer(output.data(), static_cast<size_t>(written + last));
  }
};

}  // namespace

template <>
Cryptography& DefaultService<Cryptography>() {
  static OpenSslCryptography service;
  return service;
}

}  // namespace quillmar::platform
