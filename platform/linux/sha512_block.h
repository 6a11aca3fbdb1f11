// SHA-512's block function and the PBKDF2-HMAC-SHA512 built directly on it,
// for the Linux cryptography backend (and its benchmark). Stateless; any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmar::platform {

// SHA-512's chaining state: eight 64-bit words.
struct Sha512State {
  uint64_t words[8];
};

// The state before any block (FIPS 180-4, 5.3.5).
Sha512State Sha512InitialState();

// Runs the block function once: absorbs one 128-byte block into `state`.
void Sha512CompressBlock(Sha512State* state, const uint8_t* block);

// PBKDF2 (RFC 8018) with HMAC-SHA512 over `iterations` rounds (at least 1),
// writing `out_size` bytes to `out`. Each round after the first costs
// exactly two block compressions. Wipes every intermediate it made.
void Pbkdf2HmacSha512(const uint8_t* password, size_t password_size, const uint8_t* salt,
                      size_t salt_size, uint32_t iterations, uint8_t* out, size_t out_size);

}  // namespace quillmar::platform
