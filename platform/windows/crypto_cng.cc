// The Windows cryptography backend on CNG (bcrypt), with RSA public keys
// decoded by crypt32 and RSA key pairs read by base/'s DER reader into a
// CNG key blob. Argument checks and refusal texts are shared with the
// OpenSSL backend (crypto_checks.h), so replies read the same on both
// systems; no message holds any of the bytes involved.
#include <windows.h>
// windows.h first: bcrypt.h and wincrypt.h rely on its types.
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "base/der_reader.h"
#include "platform/crypto_backend.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

// What CNG answers for an algorithm or padding it does not implement (Wine 8
// has no OAEP).
constexpr NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002);
constexpr NTSTATUS kStatusNotSupported = static_cast<NTSTATUS>(0xC00000BB);

[[noreturn]] void Refuse(HResult code, const char16_t* message) {
  throw PlatformError(code, PlatformString(message));
}

void Require(bool ok, HResult code, const char16_t* message) {
  if (!ok) Refuse(code, message);
}

bool Unimplemented(NTSTATUS status) {
  return status == kStatusNotImplemented || status == kStatusNotSupported;
}

// CNG takes byte pointers that are not const, and no null pointer where it
// reads bytes, even zero of them.
PUCHAR In(const Buffer& buffer) {
  static UCHAR no_bytes = 0;
  return buffer.empty() ? &no_bytes : const_cast<PUCHAR>(buffer.data());
}

ULONG Size(const Buffer& buffer) { return static_cast<ULONG>(buffer.size()); }

struct AlgorithmClose {
  void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct KeyDestroy {
  void operator()(BCRYPT_KEY_HANDLE handle) const { BCryptDestroyKey(handle); }
};
struct HashDestroy {
  void operator()(BCRYPT_HASH_HANDLE handle) const { BCryptDestroyHash(handle); }
};
struct LocalMemoryFree {
  void operator()(void* memory) const { LocalFree(memory); }
};
using Algorithm = std::unique_ptr<void, AlgorithmClose>;
using Key = std::unique_ptr<void, KeyDestroy>;
using Hash = std::unique_ptr<void, HashDestroy>;

// A provider of `name`, or none when the system refuses to open it.
Algorithm OpenAlgorithm(const wchar_t* name, ULONG flags) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, flags))) return nullptr;
  return Algorithm(handle);
}

// An RSA key with the size of its modulus.
struct RsaKey {
  Key key;
  ULONG modulus_size = 0;  // bytes
  size_t modulus_bits = 0;
};

RsaKey ImportPublicKey(const Buffer& blob) {
  // The strict reader decides what is a key, as on Linux; crypt32 then
  // decodes the very bytes it accepted.
  std::optional<base::RsaPublicKeyFields> fields =
      base::ReadRsaSubjectPublicKeyInfo(base::ByteView(blob.data(), blob.size()));
  Require(fields.has_value(), kBadData, kNotRsaPublicKey);
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD info_size = 0;
  bool decoded =
      CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, blob.data(), Size(blob),
                          CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &info_size) != FALSE;
  std::unique_ptr<void, LocalMemoryFree> owned_info(info);
  BCRYPT_KEY_HANDLE key = nullptr;
  bool imported =
      decoded && CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, info, 0, nullptr, &key) != FALSE;
  Key owned_key(key);
  Require(imported && owned_key, kBadData, kNotRsaPublicKey);
  return RsaKey{std::move(owned_key), static_cast<ULONG>(fields->modulus.size()),
                base::BitLength(fields->modulus)};
}

// Copies `number` into the last bytes of a field of `field_size` bytes at
// `out`, zeros before it (CNG's blob holds each number at a fixed width).
uint8_t* PutNumber(uint8_t* out, size_t field_size, base::ByteView number) {
  std::copy(number.begin(), number.end(), out + field_size - number.size());
  return out + field_size;
}

RsaKey ImportKeyPair(const Buffer& der) {
  std::optional<base::RsaPrivateKeyFields> fields =
      base::ReadRsaPrivateKeyInfo(base::ByteView(der.data(), der.size()));
  Require(fields.has_value(), kBadData, kNotRsaKeyPair);
  const base::RsaPrivateKeyFields& k = *fields;
  // The reader guarantees each reduced number fits its field: d < n,
  // dP < p, dQ < q, qInv < p.
  BCRYPT_RSAKEY_BLOB header{};
  header.Magic = BCRYPT_RSAFULLPRIVATE_MAGIC;
  header.BitLength = static_cast<ULONG>(base::BitLength(k.modulus));
  header.cbPublicExp = static_cast<ULONG>(k.public_exponent.size());
  header.cbModulus = static_cast<ULONG>(k.modulus.size());
  header.cbPrime1 = static_cast<ULONG>(k.prime1.size());
  header.cbPrime2 = static_cast<ULONG>(k.prime2.size());
  Buffer blob(sizeof header + header.cbPublicExp + 2 * header.cbModulus + 3 * header.cbPrime1 +
              2 * header.cbPrime2);
  uint8_t* out = std::copy_n(reinterpret_cast<const uint8_t*>(&header), sizeof header, blob.data());
  out = PutNumber(out, header.cbPublicExp, k.public_exponent);
  out = PutNumber(out, header.cbModulus, k.modulus);
  out = PutNumber(out, header.cbPrime1, k.prime1);
  out = PutNumber(out, header.cbPrime2, k.prime2);
  out = PutNumber(out, header.cbPrime1, k.exponent1);
  out = PutNumber(out, header.cbPrime2, k.exponent2);
  out = PutNumber(out, header.cbPrime1, k.coefficient);
  PutNumber(out, header.cbModulus, k.private_exponent);

  Algorithm rsa = OpenAlgorithm(BCRYPT_RSA_ALGORITHM, 0);
  BCRYPT_KEY_HANDLE key = nullptr;
  bool imported =
      rsa && BCRYPT_SUCCESS(BCryptImportKeyPair(rsa.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB,
                                                &key, blob.data(), Size(blob), 0));
  Key owned_key(key);
  Require(imported && owned_key, kBadData, kNotRsaKeyPair);
  return RsaKey{std::move(owned_key), header.cbModulus, header.BitLength};
}

// Feeds `data` to `hash`, in pieces CNG's 32-bit counts can hold.
bool HashAll(BCRYPT_HASH_HANDLE hash, const Buffer& data) {
  constexpr size_t kPiece = 1u << 30;
  for (size_t offset = 0; offset < data.size(); offset += kPiece) {
    ULONG piece = static_cast<ULONG>(std::min(kPiece, data.size() - offset));
    if (!BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data.data() + offset), piece, 0))) {
      return false;
    }
  }
  return true;
}

// HMAC pads a key shorter than the hash's block with zeros, so an empty key
// is the same as a key of one zero byte, which CNG takes (it refuses empty
// HMAC keys and passwords).
const Buffer& NonEmptyKey(const Buffer& key, const Buffer& one_zero) {
  return key.empty() ? one_zero : key;
}

class CngCryptography : public CryptographyBackend {
 public:
  Buffer GenerateRandom(uint32_t count) override {
    CheckRandomCount(count);
    Buffer bytes(count);
    if (count != 0) {
      Require(BCRYPT_SUCCESS(
                  BCryptGenRandom(nullptr, bytes.data(), count, BCRYPT_USE_SYSTEM_PREFERRED_RNG)),
              kEFail, kRandomFailed);
    }
    return bytes;
  }

  bool Compare(const Buffer& a, const Buffer& b) override {
    if (a.size() != b.size()) return false;
    uint8_t difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= a.data()[i] ^ b.data()[i];
    return difference == 0;
  }

  Buffer HmacSha256(const Buffer& key, const Buffer& data) override {
    CheckDataLength(key);
    Algorithm hmac = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    Buffer one_zero(1);
    const Buffer& secret = NonEmptyKey(key, one_zero);
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool created = hmac && BCRYPT_SUCCESS(BCryptCreateHash(hmac.get(), &hash, nullptr, 0,
                                                           In(secret), Size(secret), 0));
    Hash owned_hash(hash);
    Buffer mac(kSha256Size);
    bool ok = created && HashAll(hash, data) &&
              BCRYPT_SUCCESS(BCryptFinishHash(hash, mac.data(), Size(mac), 0));
    Require(ok, kEFail, kHmacFailed);
    return mac;
  }

  Buffer DeriveKeyMaterialPbkdf2Sha512(const Buffer& password, const Buffer& salt,
                                       uint32_t iteration_count, uint32_t byte_length) override {
    CheckPbkdf2Counts(iteration_count, byte_length);
    Algorithm hmac = OpenAlgorithm(BCRYPT_SHA512_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    Buffer one_zero(1);
    const Buffer& secret = NonEmptyKey(password, one_zero);
    Buffer derived(byte_length);
    bool ok = hmac && BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(hmac.get(), In(secret), Size(secret),
                                                           In(salt), Size(salt), iteration_count,
                                                           derived.data(), byte_length, 0));
    Require(ok, kEFail, u"PBKDF2-HMAC-SHA512 failed.");
    return derived;
  }

  Buffer EncryptRsaOaepSha256(const Buffer& public_key, const Buffer& plaintext) override {
    RsaKey key = ImportPublicKey(public_key);
    CheckOaepPlaintextFits(plaintext, key.modulus_size);
    BCRYPT_OAEP_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM, nullptr, 0};
    Buffer ciphertext(key.modulus_size);
    ULONG size = 0;
    NTSTATUS status =
        BCryptEncrypt(key.key.get(), In(plaintext), Size(plaintext), &padding, nullptr, 0,
                      ciphertext.data(), Size(ciphertext), &size, BCRYPT_PAD_OAEP);
    Require(!Unimplemented(status), kEFail, kOaepSetUp);
    Require(BCRYPT_SUCCESS(status), kBadData, kOaepEncryptionFailed);
    ciphertext.Resize(size);
    return ciphertext;
  }

  Buffer DecryptRsaOaepSha256(const Buffer& private_key, const Buffer& ciphertext) override {
    RsaKey key = ImportKeyPair(private_key);
    CheckRsaCiphertextLength(ciphertext, key.modulus_size);
    BCRYPT_OAEP_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM, nullptr, 0};
    Buffer plaintext(key.modulus_size);
    ULONG size = 0;
    NTSTATUS status =
        BCryptDecrypt(key.key.get(), In(ciphertext), Size(ciphertext), &padding, nullptr, 0,
                      plaintext.data(), Size(plaintext), &size, BCRYPT_PAD_OAEP);
    Require(!Unimplemented(status), kEFail, kOaepSetUp);
    Require(BCRYPT_SUCCESS(status) && size <= plaintext.size(), kBadData, kNotDecrypted);
    // Copied rather than shrunk: a buffer wipes only its current length.
    return Buffer(plaintext.data(), size);
  }

  Buffer SignRsaPssSha256(const Buffer& private_key, const Buffer& message) override {
    RsaKey key = ImportKeyPair(private_key);
    // The encoded message, of one bit less than the modulus, must hold the
    // digest, the salt and two more bytes (RFC 8017 9.1.1); Wine's CNG
    // signs with too small a key anyway.
    Require((key.modulus_bits - 1 + 7) / 8 >= 2 * kSha256Size + 2, kBadData, kCannotSignPss);
    Algorithm sha256 = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM, 0);
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool created =
        sha256 && BCRYPT_SUCCESS(BCryptCreateHash(sha256.get(), &hash, nullptr, 0, nullptr, 0, 0));
    Hash owned_hash(hash);
    Buffer digest(kSha256Size);
    Require(created && HashAll(hash, message) &&
                BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), Size(digest), 0)),
            kEFail, kPssSetUp);
    BCRYPT_PSS_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM, static_cast<ULONG>(kSha256Size)};
    Buffer signature(key.modulus_size);
    ULONG size = 0;
    NTSTATUS status = BCryptSignHash(key.key.get(), &padding, digest.data(), Size(digest),
                                     signature.data(), Size(signature), &size, BCRYPT_PAD_PSS);
    Require(!Unimplemented(status), kEFail, kPssSetUp);
    Require(BCRYPT_SUCCESS(status) && size <= signature.size(), kBadData, kCannotSignPss);
    signature.Resize(size);
    return signature;
  }

 private:
  Buffer RunAesCbc(const Buffer& key, const Buffer& input, const Buffer& iv,
                   bool encrypt) override {
    Algorithm aes = OpenAlgorithm(BCRYPT_AES_ALGORITHM, 0);
    static const wchar_t kCbc[] = BCRYPT_CHAIN_MODE_CBC;
    BCRYPT_KEY_HANDLE handle = nullptr;
    bool ready = aes &&
                 BCRYPT_SUCCESS(BCryptSetProperty(
                     aes.get(), BCRYPT_CHAINING_MODE,
                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kCbc)), sizeof kCbc, 0)) &&
                 BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(aes.get(), &handle, nullptr, 0, In(key),
                                                           Size(key), 0));
    Key cipher_key(handle);
    Require(ready, kEFail, kAesSetUp);
    CheckDataLength(input);
    // Only whole blocks, at least one, can be a padded ciphertext.
    Require(encrypt || (!input.empty() && input.size() % kAesBlockSize == 0), kBadData,
            kNotAesCiphertext);
    Buffer chain(iv);  // CNG updates the IV it is given
    Buffer output(input.size() + kAesBlockSize);
    ULONG written = 0;
    NTSTATUS status = encrypt ? BCryptEncrypt(cipher_key.get(), In(input), Size(input), nullptr,
                                              chain.data(), Size(chain), output.data(),
                                              Size(output), &written, BCRYPT_BLOCK_PADDING)
                              : BCryptDecrypt(cipher_key.get(), In(input), Size(input), nullptr,
                                              chain.data(), Size(chain), output.data(),
                                              Size(output), &written, BCRYPT_BLOCK_PADDING);
    Require(BCRYPT_SUCCESS(status) && written <= output.size(), kBadData, kNotAesCiphertext);
    return Buffer(output.data(), written);
  }
};

}  // namespace

template <>
Cryptography& DefaultService<Cryptography>() {
  static CngCryptography service;
  return service;
}

}  // namespace quillmar::platform
