// The strict DER reader on keys made by Python's cryptography package and
// on those keys rebuilt with one fault each.
#include "base/der_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "crypto/composites.h"
#include "tests/crypto/vectors/rsa_known_answers.h"

namespace quillmar::testing {
namespace {

using base::ByteView;
using Bytes = std::vector<uint8_t>;

Bytes FromBase64(const char* text) {
  platform::Buffer bytes = DecodeBase64Text(text);
  return Bytes(bytes.data(), bytes.data() + bytes.size());
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// An element with its length in the shortest form.
Bytes Element(uint8_t tag, const Bytes& contents) {
  Bytes element{tag};
  size_t size = contents.size();
  if (size < 0x80) {
    element.push_back(static_cast<uint8_t>(size));
  } else {
    Bytes octets;
    for (; size != 0; size >>= 8) octets.insert(octets.begin(), static_cast<uint8_t>(size));
    element.push_back(static_cast<uint8_t>(0x80 | octets.size()));
    element.insert(element.end(), octets.begin(), octets.end());
  }
  element.insert(element.end(), contents.begin(), contents.end());
  return element;
}

// A positive INTEGER, with the sign octet it needs.
Bytes Integer(const Bytes& magnitude) {
  Bytes contents = magnitude;
  if (contents.empty() || (contents[0] & 0x80) != 0) contents.insert(contents.begin(), 0x00);
  return Element(base::kDerInteger, contents);
}

const Bytes kRsaOid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const Bytes kNull = {0x05, 0x00};

// The numbers of the known key pair, in PKCS #1 order after the version.
struct KeyNumbers {
  Bytes n = FromHex(kRsaModulusHex);
  Bytes e = FromHex(kRsaPublicExponentHex);
  Bytes d = FromHex(kRsaPrivateExponentHex);
  Bytes p = FromHex(kRsaPrime1Hex);
  Bytes q = FromHex(kRsaPrime2Hex);
  Bytes dp = FromHex(kRsaExponent1Hex);
  Bytes dq = FromHex(kRsaExponent2Hex);
  Bytes qinv = FromHex(kRsaCoefficientHex);
};

// The parts of a key structure that the faults below change.
struct KeyShape {
  KeyNumbers numbers;
  Bytes algorithm = Element(base::kDerSequence, Join({kRsaOid, kNull}));
  Bytes outer_version = Integer({});         // PrivateKeyInfo version 0
  Bytes inner_version = Element(0x02, {0});  // RSAPrivateKey version 0
  uint8_t unused_bits = 0;                   // of the public key's BIT STRING
  Bytes after_numbers;                       // inside the key's SEQUENCE
  Bytes after_key;                           // inside the BIT or OCTET STRING
  Bytes after_info;                          // inside the outermost SEQUENCE
  Bytes after_all;                           // after the outermost SEQUENCE

  Bytes PublicKey() const {
    const KeyNumbers& k = numbers;
    Bytes key =
        Join({Element(base::kDerSequence, Join({Integer(k.n), Integer(k.e), after_numbers})),
              after_key});
    Bytes bits = Join({Bytes{unused_bits}, key});
    return Join({Element(base::kDerSequence,
                         Join({algorithm, Element(base::kDerBitString, bits), after_info})),
                 after_all});
  }

  Bytes PrivateKey() const {
    const KeyNumbers& k = numbers;
    Bytes key = Join(
        {Element(base::kDerSequence, Join({inner_version, Integer(k.n), Integer(k.e), Integer(k.d),
                                           Integer(k.p), Integer(k.q), Integer(k.dp), Integer(k.dq),
                                           Integer(k.qinv), after_numbers})),
         after_key});
    return Join(
        {Element(base::kDerSequence,
                 Join({outer_version, algorithm, Element(base::kDerOctetString, key), after_info})),
         after_all});
  }
};

Bytes Bits(const ByteView& view) { return Bytes(view.begin(), view.end()); }

TEST(DerReader, ReadsTheKnownKeysAndTheirNumbers) {
  KeyShape shape;
  // The rebuilt structures are the very bytes the package wrote.
  ASSERT_EQ(shape.PublicKey(), FromBase64(kRsaPublicKey));
  ASSERT_EQ(shape.PrivateKey(), FromBase64(kRsaPrivateKey));

  Bytes public_der = FromBase64(kRsaPublicKey);
  auto public_fields = base::ReadRsaSubjectPublicKeyInfo(public_der);
  ASSERT_TRUE(public_fields);
  EXPECT_EQ(Bits(public_fields->modulus), shape.numbers.n);
  EXPECT_EQ(Bits(public_fields->public_exponent), shape.numbers.e);
  EXPECT_EQ(base::BitLength(public_fields->modulus), 2048u);

  Bytes private_der = FromBase64(kRsaPrivateKey);
  auto fields = base::ReadRsaPrivateKeyInfo(private_der);
  ASSERT_TRUE(fields);
  const KeyNumbers& k = shape.numbers;
  EXPECT_EQ(Bits(fields->modulus), k.n);
  EXPECT_EQ(Bits(fields->public_exponent), k.e);
  EXPECT_EQ(Bits(fields->private_exponent), k.d);
  EXPECT_EQ(Bits(fields->prime1), k.p);
  EXPECT_EQ(Bits(fields->prime2), k.q);
  EXPECT_EQ(Bits(fields->exponent1), k.dp);
  EXPECT_EQ(Bits(fields->exponent2), k.dq);
  EXPECT_EQ(Bits(fields->coefficient), k.qinv);

  EXPECT_TRUE(base::ReadRsaPrivateKeyInfo(FromBase64(kRsaOtherPrivateKey)));
  EXPECT_TRUE(base::ReadRsaSubjectPublicKeyInfo(FromBase64(kRsaOtherPublicKey)));
  EXPECT_TRUE(base::ReadRsaPrivateKeyInfo(FromBase64(kRsaSmallPrivateKey)));
}

struct KeyCase {
  const char* name;
  std::function<void(KeyShape*)> change;
};

class AcceptedKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(AcceptedKey, ReadsAsPublicKeyAndKeyPair) {
  KeyShape shape;
  GetParam().change(&shape);
  EXPECT_TRUE(base::ReadRsaSubjectPublicKeyInfo(shape.PublicKey()));
  EXPECT_TRUE(base::ReadRsaPrivateKeyInfo(shape.PrivateKey()));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, AcceptedKey,
    ::testing::Values(
        KeyCase{"AlgorithmWithoutParameters",
                [](KeyShape* s) { s->algorithm = Element(base::kDerSequence, kRsaOid); }},
        KeyCase{"ExponentThree", [](KeyShape* s) { s->numbers.e = {3}; }},
        KeyCase{"ExponentOf64Bits", [](KeyShape* s) { s->numbers.e = Bytes(8, 0xFF); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DerReader, PublicKeyTakesModuliOf512To16384Bits) {
  KeyShape shape;
  for (size_t bytes : {64u, 2048u}) {
    shape.numbers.n = Bytes(bytes, 0xFF);
    EXPECT_TRUE(base::ReadRsaSubjectPublicKeyInfo(shape.PublicKey())) << bytes;
  }
  shape.numbers.n = Bytes(63, 0xFF);
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(shape.PublicKey()));
  shape.numbers.n = Join({{0x01}, Bytes(2048, 0xFF)});
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(shape.PublicKey()));
}

TEST(DerReader, PrivateKeyAllowsAttributes) {
  KeyShape shape;
  shape.after_info = Element(base::kDerContextConstructed0, Element(base::kDerSequence, {}));
  EXPECT_TRUE(base::ReadRsaPrivateKeyInfo(shape.PrivateKey()));
}

class RefusedKey : public ::testing::TestWithParam<KeyCase> {};

// Faults of the common structure and of the public numbers: both readers
// refuse them.
TEST_P(RefusedKey, AsPublicKeyAndAsKeyPair) {
  KeyShape shape;
  GetParam().change(&shape);
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(shape.PublicKey()));
  EXPECT_FALSE(base::ReadRsaPrivateKeyInfo(shape.PrivateKey()));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RefusedKey,
    ::testing::Values(
        KeyCase{"ByteAfterTheStructure", [](KeyShape* s) { s->after_all = {0x00}; }},
        KeyCase{"SecondStructure",
                [](KeyShape* s) { s->after_all = Element(base::kDerSequence, {}); }},
        KeyCase{"ElementAfterTheKey", [](KeyShape* s) { s->after_info = kNull; }},
        KeyCase{"ByteAfterTheKeySequence", [](KeyShape* s) { s->after_key = {0x00}; }},
        KeyCase{"ExtraNumber", [](KeyShape* s) { s->after_numbers = Integer({3}); }},
        KeyCase{"OtherAlgorithm",
                [](KeyShape* s) {
                  s->algorithm = Element(base::kDerSequence,
                                         Join({Element(base::kDerObjectIdentifier,
                                                       {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01}),
                                               kNull}));
                }},
        KeyCase{"RsaPssAlgorithm",
                [](KeyShape* s) {
                  Bytes pss_oid = kRsaOid;
                  pss_oid.back() = 0x0A;
                  s->algorithm = Element(base::kDerSequence, Join({pss_oid, kNull}));
                }},
        KeyCase{"ParametersNotNull",
                [](KeyShape* s) {
                  s->algorithm = Element(base::kDerSequence,
                                         Join({kRsaOid, Element(base::kDerOctetString, {})}));
                }},
        KeyCase{"NullWithContents",
                [](KeyShape* s) {
                  s->algorithm = Element(base::kDerSequence, Join({kRsaOid, Bytes{0x05, 0x01, 0}}));
                }},
        KeyCase{"ModulusWithExtraZero",
                [](KeyShape* s) { s->numbers.n.insert(s->numbers.n.begin(), 2, 0); }},
        KeyCase{"EvenModulus", [](KeyShape* s) { s->numbers.n.back() &= 0xFE; }},
        KeyCase{"ModulusOf504Bits", [](KeyShape* s) { s->numbers.n = Bytes(63, 0xFF); }},
        KeyCase{"ExponentOne", [](KeyShape* s) { s->numbers.e = {1}; }},
        KeyCase{"EvenExponent",
                [](KeyShape* s) {
                  s->numbers.e = {1, 0, 0};
                }},
        KeyCase{"ExponentOver64Bits",
                [](KeyShape* s) {
                  s->numbers.e = Join({{1}, Bytes(8, 0)});
                }}),
    [](const auto& info) { return std::string(info.param.name); });

// Byte-level faults of the public key's encoding.
struct EncodingCase {
  const char* name;
  std::function<Bytes(Bytes)> change;  // of the known public key's DER
};

class RefusedEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(RefusedEncoding, OfThePublicKey) {
  Bytes der = GetParam().change(FromBase64(kRsaPublicKey));
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(der));
}

// The known public key starts 30 82 01 22 30 0D 06 09 ..., its BIT STRING
// sits at offset 19 (03 82 01 0F 00 30 82 01 0A 02 82 01 01 00 ...).
INSTANTIATE_TEST_SUITE_P(
    Faults, RefusedEncoding,
    ::testing::Values(EncodingCase{"Empty", [](Bytes) { return Bytes{}; }},
                      EncodingCase{"LastByteMissing",
                                   [](Bytes der) {
                                     der.pop_back();
                                     return der;
                                   }},
                      EncodingCase{"IndefiniteLength",
                                   [](Bytes der) {
                                     Bytes inner(der.begin() + 4, der.end());
                                     return Join({{0x30, 0x80}, inner, {0x00, 0x00}});
                                   }},
                      EncodingCase{"LengthWithLeadingZeroOctet",
                                   [](Bytes der) {
                                     Bytes inner(der.begin() + 4, der.end());
                                     return Join({{0x30, 0x83, 0x00, 0x01, 0x22}, inner});
                                   }},
                      EncodingCase{"LongFormForShortLength",
                                   [](Bytes der) {
                                     Bytes algorithm(der.begin() + 6, der.begin() + 19);
                                     Bytes rest(der.begin() + 19, der.end());
                                     Bytes info = Join({{0x30, 0x81, 0x0D}, algorithm, rest});
                                     return Element(base::kDerSequence, info);
                                   }},
                      EncodingCase{"LengthPastTheEnd",
                                   [](Bytes der) {
                                     der[3] += 1;
                                     return der;
                                   }},
                      EncodingCase{"UnusedBitsInBitString",
                                   [](Bytes der) {
                                     der[23] = 0x01;
                                     return der;
                                   }},
                      EncodingCase{"NegativeModulus",
                                   [](Bytes der) {
                                     // Drop the modulus's sign octet: its top bit now reads as a
                                     // sign.
                                     der.erase(der.begin() + 32);
                                     der[31] -= 1;
                                     der[27] -= 1;
                                     der[22] -= 1;
                                     der[3] -= 1;
                                     return der;
                                   }},
                      EncodingCase{"MultiOctetTag",
                                   [](Bytes der) {
                                     der[0] = 0x3F;
                                     return der;
                                   }}),
    [](const auto& info) { return std::string(info.param.name); });

class RefusedKeyPair : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RefusedKeyPair, AsKeyPair) {
  KeyShape shape;
  GetParam().change(&shape);
  EXPECT_FALSE(base::ReadRsaPrivateKeyInfo(shape.PrivateKey()));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RefusedKeyPair,
    ::testing::Values(
        KeyCase{"InfoVersionOne", [](KeyShape* s) { s->outer_version = Integer({1}); }},
        KeyCase{"InfoVersionWithExtraZero",
                [](KeyShape* s) {
                  s->outer_version = Element(0x02, {0, 0});
                }},
        KeyCase{"MultiPrimeVersion", [](KeyShape* s) { s->inner_version = Integer({1}); }},
        KeyCase{
            "PublicKeyField",
            [](KeyShape* s) { s->after_info = Element(0xA1, Element(base::kDerBitString, {0})); }},
        KeyCase{"AttributesThenMore",
                [](KeyShape* s) {
                  s->after_info = Join({Element(base::kDerContextConstructed0, {}), Integer({1})});
                }},
        KeyCase{"PrimesDoNotMakeTheModulus", [](KeyShape* s) { s->numbers.q.back() ^= 0x02; }},
        KeyCase{"PrimesSwappedWithTheModulus",
                [](KeyShape* s) {
                  s->numbers.p = s->numbers.n;
                  s->numbers.q = {1};
                }},
        KeyCase{"PrivateExponentIsTheModulus", [](KeyShape* s) { s->numbers.d = s->numbers.n; }},
        KeyCase{"Exponent1IsPrime1", [](KeyShape* s) { s->numbers.dp = s->numbers.p; }},
        KeyCase{"Exponent2IsPrime2", [](KeyShape* s) { s->numbers.dq = s->numbers.q; }},
        KeyCase{"CoefficientIsPrime1", [](KeyShape* s) { s->numbers.qinv = s->numbers.p; }},
        KeyCase{"CoefficientZero", [](KeyShape* s) { s->numbers.qinv = {}; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DerReader, RefusesOtherKindsOfKey) {
  EXPECT_FALSE(base::ReadRsaPrivateKeyInfo(FromBase64(kRsaTraditionalKey)));
  EXPECT_FALSE(base::ReadRsaPrivateKeyInfo(FromBase64(kEcPrivateKey)));
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(FromBase64(kEcPublicKey)));
  EXPECT_FALSE(base::ReadRsaSubjectPublicKeyInfo(FromBase64(kRsaPrivateKey)));
  EXPECT_FALSE(base::ReadRsaPrivateKeyInfo(FromBase64(kRsaPublicKey)));
}

}  // namespace
}  // namespace quillmar::testing
