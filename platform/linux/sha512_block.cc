// The one file that calls OpenSSL's SHA-512 block function. It is deprecated
// in OpenSSL 3, yet it is the only entry that runs exactly one compression on
// a chosen state, which is what lets a PBKDF2 round cost two compressions.
#include "platform/linux/sha512_block.h"

#include <openssl/sha.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/buffer.h"

namespace quillmar::platform {
namespace {

constexpr size_t kBlockSize = 128;
constexpr size_t kDigestSize = 64;
// A key block followed by one digest: the message of every PBKDF2 round.
constexpr uint64_t kRoundMessageSize = kBlockSize + kDigestSize;

inline void Transform(SHA512_CTX* context, const uint8_t* block) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  SHA512_Transform(context, block);
#pragma GCC diagnostic pop
}

inline void Load(SHA512_CTX* context, const Sha512State& state) {
  std::memcpy(context->h, state.words, sizeof state.words);
}

inline Sha512State Save(const SHA512_CTX& context) {
  Sha512State state;
  std::memcpy(state.words, context.h, sizeof state.words);
  return state;
}

// Writes the chaining words (OpenSSL's or ours) as the big-endian digest.
template <class Word>
inline void StoreDigest(const Word* words, uint8_t* out) {
  static_assert(sizeof(Word) == 8);
  for (int i = 0; i < 8; ++i) {
    uint64_t big_endian = __builtin_bswap64(words[i]);
    std::memcpy(out + 8 * i, &big_endian, sizeof big_endian);
  }
}

// Writes the 128-bit big-endian bit count of `message_size` bytes into the
// last 16 bytes before `block_end`.
void WriteLength(uint8_t* block_end, uint64_t message_size) {
  uint64_t high = message_size >> 61;
  uint64_t low = message_size << 3;
  for (int i = 0; i < 8; ++i) {
    block_end[-16 + i] = static_cast<uint8_t>(high >> (56 - 8 * i));
    block_end[-8 + i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  }
}

// Continues the hash in `context`, which has absorbed `absorbed` bytes (whole
// blocks), over `data` and the final padding; the digest is then its state.
void FinishHash(SHA512_CTX* context, uint64_t absorbed, const uint8_t* data, size_t size) {
  size_t whole = size / kBlockSize * kBlockSize;
  for (size_t offset = 0; offset < whole; offset += kBlockSize) Transform(context, data + offset);
  uint8_t tail[2 * kBlockSize] = {};
  size_t rest = size - whole;
  if (rest != 0) std::memcpy(tail, data + whole, rest);
  tail[rest] = 0x80;
  size_t tail_size = rest + 1 + 16 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  WriteLength(tail + tail_size, absorbed + size);
  for (size_t offset = 0; offset < tail_size; offset += kBlockSize)
    Transform(context, tail + offset);
  SecureWipe(tail, sizeof tail);
}

// The HMAC-SHA512 states after the key block XOR ipad and XOR opad.
struct KeyedStates {
  Sha512State inner;
  Sha512State outer;
};

KeyedStates PrepareKey(const uint8_t* key, size_t key_size) {
  SHA512_CTX context{};
  uint8_t key_block[kBlockSize] = {};
  if (key_size > kBlockSize) {
    Load(&context, Sha512InitialState());
    FinishHash(&context, 0, key, key_size);
    StoreDigest(context.h, key_block);
  } else if (key_size != 0) {
    std::memcpy(key_block, key, key_size);
  }
  KeyedStates states;
  uint8_t padded[kBlockSize];
  for (uint8_t pad : {uint8_t{0x36}, uint8_t{0x5c}}) {
    for (size_t i = 0; i < kBlockSize; ++i) padded[i] = key_block[i] ^ pad;
    Load(&context, Sha512InitialState());
    Transform(&context, padded);
    (pad == 0x36 ? states.inner : states.outer) = Save(context);
  }
  SecureWipe(padded, sizeof padded);
  SecureWipe(key_block, sizeof key_block);
  SecureWipe(&context, sizeof context);
  return states;
}

}  // namespace

Sha512State Sha512InitialState() {
  return {{0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
           0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179}};
}

void Sha512CompressBlock(Sha512State* state, const uint8_t* block) {
  SHA512_CTX context{};
  Load(&context, *state);
  Transform(&context, block);
  *state = Save(context);
}

void Pbkdf2HmacSha512(const uint8_t* password, size_t password_size, const uint8_t* salt,
                      size_t salt_size, uint32_t iterations, uint8_t* out, size_t out_size) {
  KeyedStates keyed = PrepareKey(password, password_size);

  // Every round hashes one digest after the key block, so both of its blocks
  // carry the same padding and only their first 64 bytes change.
  uint8_t inner_block[kBlockSize] = {};
  uint8_t outer_block[kBlockSize] = {};
  inner_block[kDigestSize] = outer_block[kDigestSize] = 0x80;
  WriteLength(inner_block + kBlockSize, kRoundMessageSize);
  WriteLength(outer_block + kBlockSize, kRoundMessageSize);

  std::vector<uint8_t> salted(salt, salt + salt_size);
  salted.resize(salt_size + 4);
  SHA512_CTX context{};
  uint64_t sum[8];
  uint8_t sum_bytes[kDigestSize];
  size_t produced = 0;
  for (uint32_t index = 1; produced < out_size; ++index) {
    for (int i = 0; i < 4; ++i) salted[salt_size + i] = static_cast<uint8_t>(index >> (24 - 8 * i));
    Load(&context, keyed.inner);
    FinishHash(&context, kBlockSize, salted.data(), salted.size());
    StoreDigest(context.h, outer_block);
    Load(&context, keyed.outer);
    Transform(&context, outer_block);
    std::memcpy(sum, context.h, sizeof sum);
    StoreDigest(context.h, inner_block);

    for (uint32_t round = 1; round < iterations; ++round) {
      Load(&context, keyed.inner);
      Transform(&context, inner_block);
      StoreDigest(context.h, outer_block);
      Load(&context, keyed.outer);
      Transform(&context, outer_block);
      StoreDigest(context.h, inner_block);
      for (int i = 0; i < 8; ++i) sum[i] ^= context.h[i];
    }

    StoreDigest(sum, sum_bytes);
    size_t take = std::min(kDigestSize, out_size - produced);
    std::memcpy(out + produced, sum_bytes, take);
    produced += take;
  }

  SecureWipe(&keyed, sizeof keyed);
  SecureWipe(&context, sizeof context);
  SecureWipe(inner_block, sizeof inner_block);
  SecureWipe(outer_block, sizeof outer_block);
  SecureWipe(sum, sizeof sum);
  SecureWipe(sum_bytes, sizeof sum_bytes);
}

}  // namespace quillmar::platform
