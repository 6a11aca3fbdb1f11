// The platform's cryptography on the build's backend, and the composites the
// handlers build from it.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <openssl/evp.h>
#endif

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/text.h"
#include "crypto/composites.h"
#include "platform/crypto.h"
#include "platform/service_registry.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

using platform::Buffer;
using platform::HResult;
using platform::PlatformError;
using platform::PlatformString;

platform::Cryptography& Backend() { return platform::DefaultService<platform::Cryptography>(); }

Buffer Bytes(const std::vector<uint8_t>& bytes) { return Buffer(bytes.data(), bytes.size()); }
Buffer Decoded(const char* base64) { return DecodeBase64Text(base64); }
std::string Encoded(const Buffer& bytes) { return EncodeBase64Text(bytes); }

// The code of the platform error `work` raises; 0 when it raises none.
template <class Work>
HResult ErrorCode(Work work) {
  try {
    work();
  } catch (const PlatformError& error) {
    EXPECT_FALSE(PlatformErrorMessage(error).empty());
    return error.code();
  }
  return 0;
}

TEST(Base64, DecodesPaddedStandardText) {
  EXPECT_EQ(Decoded(""), Buffer());
  EXPECT_EQ(Decoded("QQ=="), Bytes({'A'}));
  EXPECT_EQ(Decoded("QUI="), Bytes({'A', 'B'}));
  EXPECT_EQ(Decoded("QUJD+/8="), Bytes({'A', 'B', 'C', 0xFB, 0xFF}));
}

TEST(Base64, EncodesEveryByteAndReadsItBack) {
  Buffer all(256);
  for (int i = 0; i < 256; ++i) all.data()[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Decoded(Encoded(all).c_str()), all);
  std::string sixteen = Encoded(Buffer(16));
  std::string thirty_two = Encoded(Buffer(32));
  EXPECT_EQ(sixteen.size(), 24u);
  EXPECT_TRUE(sixteen.ends_with("=="));
  EXPECT_EQ(thirty_two.size(), 44u);
  EXPECT_TRUE(thirty_two.ends_with("=") && !thirty_two.ends_with("=="));
}

class Base64Refusal : public ::testing::TestWithParam<const char*> {};

TEST_P(Base64Refusal, IsBadData) {
  EXPECT_EQ(ErrorCode([&] { Decoded(GetParam()); }), platform::kBadData);
}

INSTANTIATE_TEST_SUITE_P(NotStandardBase64, Base64Refusal,
                         ::testing::Values("QQ", "QUJ", "QQ= ", " QQ==", "QUJD\nREVG",
                                           "Q===", "====", "QQ=A", "QQ==QQ==", "-_8=", "QU.D",
                                           "\xC3\xA9QQ="));

class Utf8Refusal : public ::testing::TestWithParam<std::vector<uint8_t>> {};

TEST_P(Utf8Refusal, IsNoUnicodeTranslation) {
  EXPECT_EQ(ErrorCode([&] { Backend().ConvertBinaryToString(Bytes(GetParam())); }),
            platform::kNoUnicodeTranslation);
}

INSTANTIATE_TEST_SUITE_P(
    MalformedUtf8, Utf8Refusal,
    ::testing::Values(std::vector<uint8_t>{0xFF}, std::vector<uint8_t>{'a', 0x80},
                      std::vector<uint8_t>{0xC0, 0x80}, std::vector<uint8_t>{0xE0, 0x80, 0x80},
                      std::vector<uint8_t>{0xED, 0xA0, 0x80},
                      std::vector<uint8_t>{0xF4, 0x90, 0x80, 0x80},
                      std::vector<uint8_t>{0xE2, 0x82}, std::vector<uint8_t>{0xE2, 0x28, 0xA1}));

TEST(Utf8, TextRoundTripsWithZerosAndAstralCharacters) {
  constexpr char kText[] =
      "a\0b Gr\xC3\xBC\xC3\x9F"
      "e \xF0\x9F\x94\x90";
  std::string text(kText, sizeof kText - 1);
  Buffer bytes = TextToBytes(text);
  EXPECT_EQ(std::string(bytes.data(), bytes.data() + bytes.size()), text);
  EXPECT_EQ(BytesToText(bytes), text);
}

TEST(Utf8, UnpairedSurrogateIsRefused) {
  EXPECT_EQ(ErrorCode([] { Backend().ConvertStringToBinary(PlatformString(u"a\xD800")); }),
            platform::kNoUnicodeTranslation);
}

TEST(Compare, EqualOnlyForSameLengthAndBytes) {
  Buffer mac = Decoded(kHmacValue);
  Buffer shorter(mac.data(), 31);
  Buffer changed = mac;
  changed.data()[31] ^= 1;
  EXPECT_TRUE(Backend().Compare(mac, Decoded(kHmacValue)));
  EXPECT_FALSE(Backend().Compare(mac, shorter));
  EXPECT_FALSE(Backend().Compare(mac, changed));
}

TEST(SplitKey, FortyBytesGiveTheCipherKeyButNoMacKey) {
  Buffer key(40);
  EXPECT_EQ(SplitCipherKey(key), Buffer(32));
  EXPECT_EQ(ErrorCode([&] { SplitKey(key); }), platform::kEBounds);
}

TEST(HmacSha256, MatchesTheKnownAnswer) {
  EXPECT_EQ(Encoded(ComputeMac(Decoded(kHmacKey), Decoded(kHmacData))), kHmacValue);
}

TEST(AesCbcPkcs7, MatchesKnownAnswersAndDecryptsThem) {
  Buffer key = Decoded(kAesKey);
  Buffer iv = Decoded(kAesIv);
  EXPECT_EQ(Encoded(EncryptBytes(key, Decoded(kAesPlaintext15), iv)), kAesCiphertext15);
  EXPECT_EQ(Encoded(EncryptBytes(key, Decoded(kAesPlaintext16), iv)), kAesCiphertext16);
  EXPECT_EQ(Encoded(DecryptBytes(key, Decoded(kAesCiphertext15), iv)), kAesPlaintext15);
  EXPECT_EQ(Encoded(DecryptBytes(key, Decoded(kAesCiphertext16), iv)), kAesPlaintext16);
}

TEST(AesCbcPkcs7, RefusesWrongSizesAndWhatIsNotItsCiphertext) {
  Buffer key = Decoded(kAesKey);
  Buffer iv = Decoded(kAesIv);
  Buffer ciphertext = Decoded(kAesCiphertext16);
  EXPECT_EQ(ErrorCode([&] { EncryptBytes(Buffer(31), ciphertext, iv); }), platform::kEInvalidArg);
  EXPECT_EQ(ErrorCode([&] { EncryptBytes(key, ciphertext, Buffer(15)); }), platform::kEInvalidArg);
  EXPECT_EQ(ErrorCode([&] { DecryptBytes(Decoded(kHmacKey), ciphertext, iv); }),
            platform::kBadData);
  EXPECT_EQ(ErrorCode([&] { DecryptBytes(key, Buffer(ciphertext.data(), 31), iv); }),
            platform::kBadData);
  EXPECT_EQ(ErrorCode([&] { DecryptBytes(key, Buffer(), iv); }), platform::kBadData);
}

TEST(Pbkdf2HmacSha512, MatchesKnownAnswers) {
  for (const Pbkdf2Answer& answer : kPbkdf2Answers) {
    Buffer expected = Decoded(answer.derived_base64);
    Buffer derived = DerivePasswordKey(Utf8ToWide(answer.password), Decoded(answer.salt_base64),
                                       answer.iterations, expected.Length());
    EXPECT_EQ(Encoded(derived), answer.derived_base64) << answer.password;
  }
}

#ifndef _WIN32
TEST(Pbkdf2HmacSha512, AgreesWithOpenSslOnRandomInputs) {
  std::mt19937 random(20240601);
  auto bytes = [&](size_t size) {
    std::vector<uint8_t> out(size);
    for (uint8_t& byte : out) byte = static_cast<uint8_t>(random());
    return out;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> password = bytes(random() % (round % 3 == 0 ? 8 : 300));
    std::vector<uint8_t> salt = bytes(random() % 260);
    uint32_t iterations = round % 50 == 0 ? 1000 : 1 + random() % 20;
    uint32_t length = 1 + random() % 300;
    std::vector<uint8_t> expected(length);
    ASSERT_EQ(PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password.data()),
                                static_cast<int>(password.size()), salt.data(),
                                static_cast<int>(salt.size()), static_cast<int>(iterations),
                                EVP_sha512(), static_cast<int>(length), expected.data()),
              1);
    Buffer derived =
        Backend().DeriveKeyMaterialPbkdf2Sha512(Bytes(password), Bytes(salt), iterations, length);
    ASSERT_EQ(derived, Bytes(expected)) << "password " << password.size() << " salt " << salt.size()
                                        << " iterations " << iterations << " length " << length;
  }
}

#endif  // _WIN32

TEST(Pbkdf2HmacSha512, SixtyFourBytesBeginWithTheThirtyTwo) {
  Buffer salt = Decoded(kP001Salt);
  Buffer long_key = DerivePasswordKey(PlatformString(u"pw"), salt, 3, 64);
  EXPECT_EQ(DerivePasswordKey(PlatformString(u"pw"), salt, 3, 32), Buffer(long_key.data(), 32));
}

struct CountCase {
  uint32_t iterations;
  uint32_t length;
};

class Pbkdf2Refusal : public ::testing::TestWithParam<CountCase> {};

TEST_P(Pbkdf2Refusal, ZeroOrNegativeCountsAreInvalidParameters) {
  EXPECT_EQ(ErrorCode([&] {
              DerivePasswordKey(PlatformString(u"pw"), Buffer(8), GetParam().iterations,
                                GetParam().length);
            }),
            platform::kEInvalidArg);
}

INSTANTIATE_TEST_SUITE_P(Counts, Pbkdf2Refusal,
                         ::testing::Values(CountCase{0, 64}, CountCase{1, 0},
                                           CountCase{0x80000000u, 64}, CountCase{0xFFFFFFFFu, 64},
                                           CountCase{1, 0x80000000u}, CountCase{1, 0xFFFFFFFFu}));

// Each backend checks these before its library sees them, and both must
// answer with the same code and text.
struct ArgumentRefusal {
  const char* name;
  std::function<void()> call;
  HResult code;
  const char* message;
};

void PrintTo(const ArgumentRefusal& refusal, std::ostream* out) { *out << refusal.name; }

class ArgumentRefusalTest : public ::testing::TestWithParam<ArgumentRefusal> {};

TEST_P(ArgumentRefusalTest, RaisesItsCodeAndText) {
  try {
    GetParam().call();
    ADD_FAILURE() << "no refusal";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.code(), GetParam().code);
    EXPECT_EQ(PlatformErrorMessage(error), GetParam().message);
  }
}

constexpr char kAesKeyText[] = "AES-256 takes a key of 32 bytes.";
constexpr char kAesIvText[] = "AES-CBC takes an IV of 16 bytes.";
constexpr char kIterationsText[] = "The iteration count must be from 1 to 2147483647.";
constexpr char kLengthText[] = "The output length must be from 1 to 2147483647 bytes.";

INSTANTIATE_TEST_SUITE_P(
    Checks, ArgumentRefusalTest,
    ::testing::Values(
        ArgumentRefusal{"RandomCountPastSigned32Bits",
                        [] { Backend().GenerateRandom(0x80000000u); }, platform::kEInvalidArg,
                        "The count of random bytes is too large."},
        ArgumentRefusal{"EncryptionKeyOfThirtyThreeBytes",
                        [] { Backend().EncryptAesCbcPkcs7(Buffer(33), Buffer(16), Buffer(16)); },
                        platform::kEInvalidArg, kAesKeyText},
        ArgumentRefusal{"DecryptionKeyOfThirtyOneBytes",
                        [] { Backend().DecryptAesCbcPkcs7(Buffer(31), Buffer(16), Buffer(16)); },
                        platform::kEInvalidArg, kAesKeyText},
        ArgumentRefusal{"EncryptionIvOfSeventeenBytes",
                        [] { Backend().EncryptAesCbcPkcs7(Buffer(32), Buffer(16), Buffer(17)); },
                        platform::kEInvalidArg, kAesIvText},
        ArgumentRefusal{"DecryptionWithoutIv",
                        [] { Backend().DecryptAesCbcPkcs7(Buffer(32), Buffer(16), Buffer()); },
                        platform::kEInvalidArg, kAesIvText},
        ArgumentRefusal{"KeyCheckedBeforeIv",
                        [] { Backend().EncryptAesCbcPkcs7(Buffer(16), Buffer(16), Buffer(32)); },
                        platform::kEInvalidArg, kAesKeyText},
        ArgumentRefusal{"NoIterations",
                        [] { Backend().DeriveKeyMaterialPbkdf2Sha512(Buffer(1), Buffer(8), 0, 8); },
                        platform::kEInvalidArg, kIterationsText},
        ArgumentRefusal{
            "NegativeOutputLength",
            [] { Backend().DeriveKeyMaterialPbkdf2Sha512(Buffer(1), Buffer(8), 1, 0xFFFFFFFFu); },
            platform::kEInvalidArg, kLengthText},
        ArgumentRefusal{
            "IterationsCheckedBeforeLength",
            [] { Backend().DeriveKeyMaterialPbkdf2Sha512(Buffer(1), Buffer(8), 0x80000000u, 0); },
            platform::kEInvalidArg, kIterationsText}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Json, ReadsStringMembersWithEscapesAmongOtherValues) {
  platform::JsonObject object = Backend().ParseJsonObject(PlatformString(
      u" {\"n\": -1.5e3, \"a\": [true, false, null, {\"x\": []}], \"iv\": \"a\\u00e9\\n\\\"\"} "));
  EXPECT_EQ(object.GetNamedString(u"iv"), PlatformString(u"a\u00e9\n\""));
  EXPECT_EQ(ErrorCode([&] { object.GetNamedString(u"cipher"); }), platform::kJsonValueNotFound);
  EXPECT_EQ(ErrorCode([&] { object.GetNamedString(u"n"); }), platform::kEIllegalMethodCall);
}

class JsonRefusal : public ::testing::TestWithParam<std::u16string> {};

TEST_P(JsonRefusal, IsInvalidJson) {
  EXPECT_EQ(ErrorCode([&] { Backend().ParseJsonObject(PlatformString(GetParam())); }),
            platform::kInvalidJson);
}

INSTANTIATE_TEST_SUITE_P(NotAJsonObject, JsonRefusal,
                         ::testing::Values(u"", u"[]", u"\"iv\"", u"{", u"{\"iv\":\"a\",}",
                                           u"{\"iv\":'a'}", u"{\"iv\":\"a\"} x", u"{\"a\":01}",
                                           u"{\"a\":tru}", u"{\"a\":\"\n\"}", u"{\"a\":\"\\x\"}",
                                           u"{\"a\":1.}",
                                           u"{\"a\":" + std::u16string(100, u'[') +
                                               std::u16string(100, u']') + u"}"));

}  // namespace
}  // namespace quillmar::testing
