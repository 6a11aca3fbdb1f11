// The steps the cryptography handlers share, each a short sequence of calls
// on the platform's Cryptography service. Stateless; any thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/crypto.h"

namespace quillmar {

// The cryptography service in force.
platform::Cryptography& Crypto();

// PBKDF2-HMAC-SHA512 of the password's UTF-8 bytes: `byte_length` bytes.
platform::Buffer DerivePasswordKey(const platform::PlatformString& password,
                                   const platform::Buffer& salt, uint32_t iteration_count,
                                   uint32_t byte_length);

// Iterations of every derivation from a password the formats make.
inline constexpr uint32_t kPasswordIterations = 100000;

// DerivePasswordKey (password, salt, 100000, byte_length) for a UTF-8 password.
platform::Buffer DerivePasswordKey(std::string_view password, const platform::Buffer& salt,
                                   uint32_t byte_length);

// A 64-byte key split into its halves.
struct KeyPair {
  platform::Buffer cipher_key;  // bytes 0 to 31
  platform::Buffer mac_key;     // bytes 32 to 63
};

// Both halves; raises kEBounds when `key` holds fewer than 64 bytes.
KeyPair SplitKey(const platform::Buffer& key);
// The cipher half alone; raises kEBounds when `key` holds fewer than 32 bytes.
platform::Buffer SplitCipherKey(const platform::Buffer& key);

// The parts' bytes, in order.
platform::Buffer JoinBuffers(std::initializer_list<const platform::Buffer*> parts);

// HMAC-SHA256 of `data` under `mac_key`.
platform::Buffer ComputeMac(const platform::Buffer& mac_key, const platform::Buffer& data);

// The message cipher, AES-256-CBC with PKCS #7 padding.
platform::Buffer EncryptBytes(const platform::Buffer& cipher_key, const platform::Buffer& plaintext,
                              const platform::Buffer& iv);
platform::Buffer DecryptBytes(const platform::Buffer& cipher_key,
                              const platform::Buffer& ciphertext, const platform::Buffer& iv);

// Base64 texts and UTF-8 bytes as the channel carries them, through the
// platform's UTF-16 strings.
platform::Buffer DecodeBase64Text(std::string_view text);
std::string EncodeBase64Text(const platform::Buffer& bytes);
platform::Buffer TextToBytes(std::string_view text);
std::string BytesToText(const platform::Buffer& bytes);

}  // namespace quillmar
