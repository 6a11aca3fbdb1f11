// "encryptToStringWithPublicKey", "decryptStringWithPrivateKey" and
// "signChallenge" against keys, a ciphertext and a signature made by
// Python's cryptography package, on every system's backend. Wine 8's CNG has
// no RSA-OAEP: what needs it reports itself skipped there, and nowhere else.
#include "tests/crypto/vectors/rsa_known_answers.h"

#include <gtest/gtest.h>

#include <string>

#include "crypto/composites.h"
#include "tests/crypto/crypto_test_support.h"
#include "tests/crypto/system_checks.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

constexpr char kNoOaep[] = "Wine 8's CNG does not implement RSA-OAEP";

RecordedAnswer Decrypt(const std::string& ciphertext, const std::string& key) {
  return Call(HandleDecryptStringWithPrivateKey,
              MapArgs({{"ciphertext", ciphertext}, {"privateKeyBase64", key}}));
}

RecordedAnswer Encrypt(const std::string& message, const std::string& key) {
  return Call(HandleEncryptToStringWithPublicKey,
              MapArgs({{"message", message}, {"publicKeyBase64", key}}));
}

RecordedAnswer Sign(const std::string& challenge, const std::string& key) {
  return Call(HandleSignChallenge,
              MapArgs({{"challengeBase64", challenge}, {"privateKeyBase64", key}}));
}

TEST(RsaKnownAnswers, DecryptsTheKnownCiphertext) {
  if (RunningUnderWine()) GTEST_SKIP() << kNoOaep;
  EXPECT_TRUE(AnsweredWith(Decrypt(kRsaOaepCiphertext, kRsaPrivateKey),
                           MakeReplyMap({{"plaintext", kRsaMessage}})));
}

TEST(RsaKnownAnswers, DecryptsACiphertextThatBeginsWithAZeroByte) {
  if (RunningUnderWine()) GTEST_SKIP() << kNoOaep;
  EXPECT_TRUE(AnsweredWith(Decrypt(kRsaOaepCiphertextLeadingZero, kRsaPrivateKey),
                           MakeReplyMap({{"plaintext", kRsaMessage}})));
}

TEST(RsaKnownAnswers, EncryptionRoundTripsAtEveryKeySize) {
  if (RunningUnderWine()) GTEST_SKIP() << kNoOaep;
  struct Pair {
    const char* public_key;
    const char* private_key;
    size_t base64_size;
  };
  for (const Pair& pair : {Pair{kRsaPublicKey, kRsaPrivateKey, 344},
                           Pair{kRsaOtherPublicKey, kRsaOtherPrivateKey, 512}}) {
    for (const std::string& message : {std::string(kRsaMessage), std::string()}) {
      std::string ciphertext = ReplyText(Encrypt(message, pair.public_key), "ciphertext");
      EXPECT_EQ(ciphertext.size(), pair.base64_size);
      EXPECT_TRUE(AnsweredWith(Decrypt(ciphertext, pair.private_key),
                               MakeReplyMap({{"plaintext", message}})));
    }
  }
}

TEST(RsaKnownAnswers, TheVerifierTakesTheKnownSignatureOnly) {
  platform::Buffer public_key = DecodeBase64Text(kRsaPublicKey);
  platform::Buffer challenge = DecodeBase64Text(kRsaChallenge);
  platform::Buffer signature = DecodeBase64Text(kRsaPssSignature);
  EXPECT_TRUE(VerifiesAsPssSha256(public_key, challenge, signature));
  signature.data()[100] ^= 0x01;
  EXPECT_FALSE(VerifiesAsPssSha256(public_key, challenge, signature));
}

TEST(RsaKnownAnswers, SignaturesVerifyAsPssOverTheChallengeBytes) {
  struct Pair {
    const char* public_key;
    const char* private_key;
  };
  for (const Pair& pair :
       {Pair{kRsaPublicKey, kRsaPrivateKey}, Pair{kRsaOtherPublicKey, kRsaOtherPrivateKey}}) {
    std::string first = ReplyText(Sign(kRsaChallenge, pair.private_key), "signedChallenge");
    std::string second = ReplyText(Sign(kRsaChallenge, pair.private_key), "signedChallenge");
    EXPECT_NE(first, second);  // a new salt each time
    for (const std::string& signature : {first, second}) {
      EXPECT_TRUE(VerifiesAsPssSha256(DecodeBase64Text(pair.public_key),
                                      DecodeBase64Text(kRsaChallenge),
                                      DecodeBase64Text(signature)));
    }
  }
}

struct RsaRefusalCase {
  const char* name;
  RecordedAnswer (*call)(const std::string& text, const std::string& key);
  const char* text;
  const char* key;
  const char* message;
  bool needs_oaep;  // reaches the OAEP operation itself
};

class RsaKnownRefusal : public ::testing::TestWithParam<RsaRefusalCase> {};

TEST_P(RsaKnownRefusal, IsTheSameErrorMapOnEverySystem) {
  if (GetParam().needs_oaep && RunningUnderWine()) GTEST_SKIP() << kNoOaep;
  EXPECT_TRUE(AnsweredWith(GetParam().call(GetParam().text, GetParam().key),
                           MakeReplyMap({{"error", GetParam().message}})));
}

constexpr char kNotPublicKey[] =
    "The key is not an RSA public key in DER SubjectPublicKeyInfo form.";
constexpr char kNotKeyPair[] = "The key is not an RSA key pair in DER PKCS #8 form.";
constexpr char kNotDecrypted[] = "The ciphertext does not decrypt under this key.";
// 191 bytes: one more than OAEP-SHA256 takes under a 2048-bit key.
constexpr char k191Bytes[] =
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890"
    "1234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901"
    "234567890";

const RsaRefusalCase kRsaRefusals[] = {
    {"EmptyPublicKey", Encrypt, "m", "", kNotPublicKey, false},
    {"PemPublicKey", Encrypt, "m", "-----BEGIN PUBLIC KEY-----\nMIIB\n-----END PUBLIC KEY-----\n",
     kNotBase64, false},
    {"KeyPairForPublicKey", Encrypt, "m", kRsaPrivateKey, kNotPublicKey, false},
    {"EcPublicKey", Encrypt, "m", kEcPublicKey, kNotPublicKey, false},
    {"MessageTooLong", Encrypt, k191Bytes, kRsaPublicKey, "The data is too long for the key.",
     false},
    {"CiphertextNotBase64", Decrypt, "a b", kRsaPrivateKey, kNotBase64, false},
    {"CiphertextShorterThanTheModulus", Decrypt, kHmacValue, kRsaPrivateKey, kNotDecrypted, false},
    // A ciphertext is exactly as long as the modulus, whatever integer it holds.
    {"CiphertextOneByteShort", Decrypt, kRsaOaepCiphertext255, kRsaPrivateKey, kNotDecrypted,
     false},
    {"CiphertextOneByteLong", Decrypt, kRsaOaepCiphertext257, kRsaPrivateKey, kNotDecrypted, false},
    {"CiphertextOfAnotherKeySize", Decrypt, kRsaOaepCiphertext, kRsaOtherPrivateKey, kNotDecrypted,
     false},
    {"CiphertextNotOaep", Decrypt, kRsaPssSignature, kRsaPrivateKey, kNotDecrypted, true},
    {"EmptyPrivateKey", Decrypt, kRsaOaepCiphertext, "", kNotKeyPair, false},
    {"PublicKeyForKeyPair", Sign, kRsaChallenge, kRsaPublicKey, kNotKeyPair, false},
    {"TraditionalPrivateKey", Sign, kRsaChallenge, kRsaTraditionalKey, kNotKeyPair, false},
    {"EcPrivateKey", Sign, kRsaChallenge, kEcPrivateKey, kNotKeyPair, false},
    {"KeyTooSmallForPss", Sign, kRsaChallenge, kRsaSmallPrivateKey,
     "The key cannot sign with RSA-PSS, SHA-256 and a 32-byte salt.", false},
    {"ChallengeNotBase64", Sign, "AQ=", kRsaPrivateKey, kNotBase64, false},
};

INSTANTIATE_TEST_SUITE_P(Failures, RsaKnownRefusal, ::testing::ValuesIn(kRsaRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar::testing
