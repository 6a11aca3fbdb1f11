// A strict reader of DER (X.690) for the RSA key structures the library
// imports from its callers: X.509 SubjectPublicKeyInfo and PKCS #8
// PrivateKeyInfo. The bytes are untrusted. Only definite lengths in their
// shortest form, minimal INTEGERs and exactly one outermost element are
// read; anything else is refused, so every backend accepts the same keys.
// Stateless; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillmar::base {

using ByteView = std::span<const uint8_t>;

// Identifier octets of the universal and context-specific types read here.
inline constexpr uint8_t kDerInteger = 0x02;
inline constexpr uint8_t kDerBitString = 0x03;
inline constexpr uint8_t kDerOctetString = 0x04;
inline constexpr uint8_t kDerNull = 0x05;
inline constexpr uint8_t kDerObjectIdentifier = 0x06;
inline constexpr uint8_t kDerSequence = 0x30;
inline constexpr uint8_t kDerContextConstructed0 = 0xA0;

// Reads consecutive elements from bytes it does not own. A failed read
// consumes nothing.
class DerReader {
 public:
  explicit DerReader(ByteView bytes) : rest_(bytes) {}

  // The contents of the next element when its identifier octet is `tag`
  // and its length is well formed and within the bytes left.
  std::optional<ByteView> Read(uint8_t tag);

  // The next element when it is an INTEGER above zero in minimal form: its
  // magnitude, big-endian, without the sign octet.
  std::optional<ByteView> ReadPositiveInteger();

  // True when the next element is an INTEGER of value `value` (0 to 127).
  bool ReadSmallInteger(uint8_t value);

  // True when the next element is a NULL.
  bool ReadNull();

  bool PeekTag(uint8_t tag) const { return !rest_.empty() && rest_[0] == tag; }
  bool AtEnd() const { return rest_.empty(); }

 private:
  ByteView rest_;
};

// RSA modulus sizes the library imports, in bits.
inline constexpr size_t kRsaMinModulusBits = 512;
inline constexpr size_t kRsaMaxModulusBits = 16384;
// The largest public exponent, in bytes (64 bits, as CNG and OpenSSL allow).
inline constexpr size_t kRsaMaxPublicExponentSize = 8;

// The numbers of an RSA public key: big-endian magnitudes without leading
// zeros, views into the bytes that were read.
struct RsaPublicKeyFields {
  ByteView modulus;
  ByteView public_exponent;
};

// The numbers of a two-prime RSA private key (PKCS #1 names), as views
// into the bytes that were read.
struct RsaPrivateKeyFields {
  ByteView modulus;
  ByteView public_exponent;
  ByteView private_exponent;
  ByteView prime1;
  ByteView prime2;
  ByteView exponent1;
  ByteView exponent2;
  ByteView coefficient;
};

// The number of significant bits of a magnitude without leading zeros.
size_t BitLength(ByteView magnitude);

// Reads `der` as exactly one SubjectPublicKeyInfo whose algorithm is
// rsaEncryption (parameters NULL or absent) and whose key is an RSA public
// key: an odd modulus of kRsaMinModulusBits to kRsaMaxModulusBits bits and
// an odd public exponent from 3 to 2^64-1. Nothing otherwise.
std::optional<RsaPublicKeyFields> ReadRsaSubjectPublicKeyInfo(ByteView der);

// Reads `der` as exactly one PKCS #8 PrivateKeyInfo (version 0, optional
// attributes) whose algorithm is rsaEncryption and whose key is a two-prime
// RSAPrivateKey of version 0 with the public key's limits, whose primes
// multiply to the modulus and whose other numbers are each below the
// number they are reduced by (d < n, dP < p, dQ < q, qInv < p). Nothing
// otherwise. Views into `der` hold the secret numbers: the caller keeps
// `der` in wiped memory.
std::optional<RsaPrivateKeyFields> ReadRsaPrivateKeyInfo(ByteView der);

}  // namespace quillmar::base
