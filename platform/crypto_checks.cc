#include "platform/crypto_checks.h"

#include <climits>

#include "platform/crypto.h"

namespace quillmar::platform {
namespace {

constexpr uint32_t kLargestCount = INT32_MAX;

void Require(bool ok, HResult code, const char16_t* message) {
  if (!ok) throw PlatformError(code, PlatformString(message));
}

}  // namespace

void CheckRandomCount(uint32_t count) {
  Require(count <= kLargestCount, kEInvalidArg, u"The count of random bytes is too large.");
}

void CheckDataLength(const Buffer& data) {
  Require(data.size() <= static_cast<size_t>(INT_MAX - kAesBlockSize), kEInvalidArg,
          u"The data is too long.");
}

void CheckAesKeyAndIv(const Buffer& key, const Buffer& iv) {
  Require(key.size() == kAesKeySize, kEInvalidArg, u"AES-256 takes a key of 32 bytes.");
  Require(iv.size() == kAesBlockSize, kEInvalidArg, u"AES-CBC takes an IV of 16 bytes.");
}

void CheckPbkdf2Counts(uint32_t iteration_count, uint32_t byte_length) {
  Require(iteration_count >= 1 && iteration_count <= kLargestCount, kEInvalidArg,
          u"The iteration count must be from 1 to 2147483647.");
  Require(byte_length >= 1 && byte_length <= kLargestCount, kEInvalidArg,
          u"The output length must be from 1 to 2147483647 bytes.");
}

void CheckOaepPlaintextFits(const Buffer& plaintext, size_t modulus_size) {
  // OAEP adds two digests and two bytes.
  Require(plaintext.size() + 2 * kSha256Size + 2 <= modulus_size, kBadLength,
          u"The data is too long for the key.");
}

void CheckRsaCiphertextLength(const Buffer& ciphertext, size_t modulus_size) {
  Require(ciphertext.size() == modulus_size, kBadData, kNotDecrypted);
}

}  // namespace quillmar::platform
