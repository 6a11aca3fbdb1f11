// What both cryptography backends check before their library sees the
// arguments, and the refusal texts both raise, so that a refusal reads the
// same on every system. Stateless; any thread. Each check raises
// PlatformError as the matching member of Cryptography documents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/buffer.h"

namespace quillmar::platform {

inline constexpr size_t kAesKeySize = 32;
inline constexpr size_t kAesBlockSize = 16;
inline constexpr size_t kSha256Size = 32;

// Refusals after the library has answered.
inline constexpr char16_t kRandomFailed[] = u"The random source failed.";
inline constexpr char16_t kHmacFailed[] = u"HMAC-SHA256 failed.";
inline constexpr char16_t kAesSetUp[] = u"AES-CBC could not be set up.";
inline constexpr char16_t kNotAesCiphertext[] =
    u"The data is not a ciphertext under this key and IV.";
inline constexpr char16_t kNotRsaPublicKey[] =
    u"The key is not an RSA public key in DER SubjectPublicKeyInfo form.";
inline constexpr char16_t kNotRsaKeyPair[] = u"The key is not an RSA key pair in DER PKCS #8 form.";
inline constexpr char16_t kOaepSetUp[] = u"RSA-OAEP could not be set up.";
inline constexpr char16_t kOaepEncryptionFailed[] = u"RSA-OAEP encryption failed.";
// One text for every RSA decryption refusal, so that none tells another apart.
inline constexpr char16_t kNotDecrypted[] = u"The ciphertext does not decrypt under this key.";
inline constexpr char16_t kPssSetUp[] = u"RSA-PSS could not be set up.";
inline constexpr char16_t kCannotSignPss[] =
    u"The key cannot sign with RSA-PSS, SHA-256 and a 32-byte salt.";

// kEInvalidArg for more random bytes than a signed 32-bit count holds.
void CheckRandomCount(uint32_t count);

// kEInvalidArg for data the libraries' int lengths cannot count, with room
// for the padding block AES adds.
void CheckDataLength(const Buffer& data);

// kEInvalidArg for an AES-256 key that is not 32 bytes or a CBC IV that is
// not 16.
void CheckAesKeyAndIv(const Buffer& key, const Buffer& iv);

// kEInvalidArg for an iteration count or output length of 0 or above
// 2^31-1.
void CheckPbkdf2Counts(uint32_t iteration_count, uint32_t byte_length);

// kBadLength for a plaintext RSA-OAEP with SHA-256 cannot hold in a modulus
// of `modulus_size` bytes.
void CheckOaepPlaintextFits(const Buffer& plaintext, size_t modulus_size);

// kBadData (kNotDecrypted) for a ciphertext not exactly as long as the
// modulus (RFC 8017 7.1.2 step 1).
void CheckRsaCiphertextLength(const Buffer& ciphertext, size_t modulus_size);

}  // namespace quillmar::platform
