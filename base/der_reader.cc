#include "base/der_reader.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quillmar::base {
namespace {

// rsaEncryption, 1.2.840.113549.1.1.1.
constexpr std::array<uint8_t, 9> kRsaEncryption = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                   0x0D, 0x01, 0x01, 0x01};

// Lengths above this many octets cannot describe bytes held in memory here.
constexpr size_t kMaxLengthOctets = 4;

bool IsOdd(ByteView magnitude) { return !magnitude.empty() && (magnitude.back() & 1) != 0; }

// Compares two magnitudes without leading zeros.
bool Less(ByteView a, ByteView b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// True when `a` times `b` is `product`, all magnitudes without leading
// zeros. Schoolbook multiplication; the partial products are wiped.
bool MultipliesTo(ByteView a, ByteView b, ByteView product) {
  if (a.size() + b.size() < product.size() || a.size() + b.size() > product.size() + 1) {
    return false;
  }
  std::vector<uint8_t> sum(a.size() + b.size());  // little-endian
  for (size_t i = 0; i < a.size(); ++i) {
    uint32_t carry = 0;
    uint32_t digit = a[a.size() - 1 - i];
    for (size_t j = 0; j < b.size(); ++j) {
      uint32_t t = sum[i + j] + digit * b[b.size() - 1 - j] + carry;
      sum[i + j] = static_cast<uint8_t>(t);
      carry = t >> 8;
    }
    sum[i + b.size()] = static_cast<uint8_t>(carry);
  }
  size_t length = sum.size();
  while (length > 0 && sum[length - 1] == 0) --length;
  bool equal = length == product.size();
  for (size_t k = 0; equal && k < length; ++k) {
    equal = sum[k] == product[product.size() - 1 - k];
  }
  volatile uint8_t* wipe = sum.data();
  for (size_t k = 0; k < sum.size(); ++k) wipe[k] = 0;
  return equal;
}

bool IsRsaPublicKey(ByteView modulus, ByteView public_exponent) {
  size_t bits = BitLength(modulus);
  return bits >= kRsaMinModulusBits && bits <= kRsaMaxModulusBits && IsOdd(modulus) &&
         public_exponent.size() <= kRsaMaxPublicExponentSize && IsOdd(public_exponent) &&
         BitLength(public_exponent) >= 2;
}

// AlgorithmIdentifier { rsaEncryption, NULL or nothing }.
bool ReadRsaAlgorithm(DerReader* outer) {
  std::optional<ByteView> algorithm = outer->Read(kDerSequence);
  if (!algorithm) return false;
  DerReader reader(*algorithm);
  std::optional<ByteView> oid = reader.Read(kDerObjectIdentifier);
  if (!oid || !std::equal(oid->begin(), oid->end(), kRsaEncryption.begin(), kRsaEncryption.end())) {
    return false;
  }
  if (!reader.AtEnd() && !reader.ReadNull()) return false;
  return reader.AtEnd();
}

}  // namespace

std::optional<ByteView> DerReader::Read(uint8_t tag) {
  if (rest_.size() < 2 || rest_[0] != tag) return std::nullopt;
  size_t header = 2;
  size_t length = rest_[1];
  if (length >= 0x80) {
    size_t octets = length & 0x7F;
    // 0x80 is the indefinite form; a long form must need its octets.
    if (octets == 0 || octets > kMaxLengthOctets || rest_.size() < 2 + octets || rest_[2] == 0) {
      return std::nullopt;
    }
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = (length << 8) | rest_[2 + i];
    if (length < 0x80) return std::nullopt;
    header += octets;
  }
  if (length > rest_.size() - header) return std::nullopt;
  ByteView contents = rest_.subspan(header, length);
  rest_ = rest_.subspan(header + length);
  return contents;
}

std::optional<ByteView> DerReader::ReadPositiveInteger() {
  DerReader attempt = *this;
  std::optional<ByteView> contents = attempt.Read(kDerInteger);
  if (!contents || contents->empty() || ((*contents)[0] & 0x80) != 0) return std::nullopt;
  ByteView magnitude = *contents;
  if (magnitude[0] == 0) {
    // A leading zero is allowed only in front of an octet whose top bit is
    // set; a lone zero is the value 0, which is not positive.
    if (magnitude.size() == 1 || (magnitude[1] & 0x80) == 0) return std::nullopt;
    magnitude = magnitude.subspan(1);
  }
  *this = attempt;
  return magnitude;
}

bool DerReader::ReadSmallInteger(uint8_t value) {
  DerReader attempt = *this;
  std::optional<ByteView> contents = attempt.Read(kDerInteger);
  if (!contents || contents->size() != 1 || (*contents)[0] != value || value >= 0x80) return false;
  *this = attempt;
  return true;
}

bool DerReader::ReadNull() {
  DerReader attempt = *this;
  std::optional<ByteView> contents = attempt.Read(kDerNull);
  if (!contents || !contents->empty()) return false;
  *this = attempt;
  return true;
}

size_t BitLength(ByteView magnitude) {
  if (magnitude.empty()) return 0;
  size_t bits = (magnitude.size() - 1) * 8;
  for (uint8_t top = magnitude[0]; top != 0; top >>= 1) ++bits;
  return bits;
}

std::optional<RsaPublicKeyFields> ReadRsaSubjectPublicKeyInfo(ByteView der) {
  DerReader whole(der);
  std::optional<ByteView> info = whole.Read(kDerSequence);
  if (!info || !whole.AtEnd()) return std::nullopt;
  DerReader reader(*info);
  if (!ReadRsaAlgorithm(&reader)) return std::nullopt;
  std::optional<ByteView> bits = reader.Read(kDerBitString);
  if (!bits || !reader.AtEnd() || bits->empty() || (*bits)[0] != 0) return std::nullopt;

  DerReader key_bytes(bits->subspan(1));
  std::optional<ByteView> key = key_bytes.Read(kDerSequence);
  if (!key || !key_bytes.AtEnd()) return std::nullopt;
  DerReader numbers(*key);
  RsaPublicKeyFields fields;
  std::optional<ByteView> modulus = numbers.ReadPositiveInteger();
  std::optional<ByteView> exponent = numbers.ReadPositiveInteger();
  if (!modulus || !exponent || !numbers.AtEnd() || !IsRsaPublicKey(*modulus, *exponent)) {
    return std::nullopt;
  }
  fields.modulus = *modulus;
  fields.public_exponent = *exponent;
  return fields;
}

std::optional<RsaPrivateKeyFields> ReadRsaPrivateKeyInfo(ByteView der) {
  DerReader whole(der);
  std::optional<ByteView> info = whole.Read(kDerSequence);
  if (!info || !whole.AtEnd()) return std::nullopt;
  DerReader reader(*info);
  if (!reader.ReadSmallInteger(0) || !ReadRsaAlgorithm(&reader)) return std::nullopt;
  std::optional<ByteView> key_bytes = reader.Read(kDerOctetString);
  if (!key_bytes) return std::nullopt;
  // Attributes are allowed and not read; nothing may follow them.
  if (reader.PeekTag(kDerContextConstructed0) && !reader.Read(kDerContextConstructed0)) {
    return std::nullopt;
  }
  if (!reader.AtEnd()) return std::nullopt;

  DerReader key_reader(*key_bytes);
  std::optional<ByteView> key = key_reader.Read(kDerSequence);
  if (!key || !key_reader.AtEnd()) return std::nullopt;
  DerReader numbers(*key);
  // Version 0 is two primes; version 1 has more, which CNG cannot hold.
  if (!numbers.ReadSmallInteger(0)) return std::nullopt;
  std::optional<ByteView> read[8];
  for (auto& number : read) {
    number = numbers.ReadPositiveInteger();
    if (!number) return std::nullopt;
  }
  if (!numbers.AtEnd()) return std::nullopt;
  RsaPrivateKeyFields fields{*read[0], *read[1], *read[2], *read[3],
                             *read[4], *read[5], *read[6], *read[7]};
  if (!IsRsaPublicKey(fields.modulus, fields.public_exponent) || BitLength(fields.prime1) < 2 ||
      BitLength(fields.prime2) < 2 || !Less(fields.private_exponent, fields.modulus) ||
      !Less(fields.exponent1, fields.prime1) || !Less(fields.exponent2, fields.prime2) ||
      !Less(fields.coefficient, fields.prime1) ||
      !MultipliesTo(fields.prime1, fields.prime2, fields.modulus)) {
    return std::nullopt;
  }
  return fields;
}

}  // namespace quillmar::base
