// "encryptToStringWithPassword" and "decryptStringWithPassword": P001 and
// the older password layout.
#include <gtest/gtest.h>

#include "common/substring.h"
#include "crypto/composites.h"
#include "tests/crypto/crypto_test_support.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

using platform::Buffer;

RecordedAnswer Encrypt(const std::string& message, const std::string& password) {
  return Call(HandleEncryptToStringWithPassword,
              MapArgs({{"message", message}, {"password", password}}));
}

RecordedAnswer Decrypt(const std::string& text, const std::string& password) {
  return Call(HandleDecryptStringWithPassword,
              MapArgs({{"encryptedMessage", text}, {"password", password}}));
}

const EncodableMap kNotAuthentic = MakeReplyMap({{"authenticationSuccess", false}});

TEST(EncryptToStringWithPassword, WritesTheKnownP001TextForGivenRandomBytes) {
  ScriptedRandom random({kP001Salt, kP001Iv, kP001Challenge});
  EXPECT_TRUE(
      AnsweredWith(Encrypt(kMessage, kPassword), MakeReplyMap({{"encryptedMessage", kP001Text}})));
}

TEST(DecryptStringWithPassword, ReadsTheKnownP001Text) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kP001Text, kPassword), Decrypted(kMessage)));
}

TEST(EncryptToStringWithPassword, DrawsNewSaltChallengeAndIvForEveryText) {
  std::string first = ReplyText(Encrypt("m", "pw"), "encryptedMessage");
  std::string second = ReplyText(Encrypt("m", "pw"), "encryptedMessage");
  EXPECT_NE(Substring(first, 11, 44), Substring(second, 11, 44));
  EXPECT_NE(Substring(first, 55, 24), Substring(second, 55, 24));
  EXPECT_NE(Substring(first, 167, 24), Substring(second, 167, 24));
  for (const std::string& text : {first, second}) {
    EXPECT_EQ(text.size(), 191u + 24u);
    for (size_t position : {11u, 79u, 123u})
      EXPECT_TRUE(Substring(text, position, 44).ends_with("="));
    for (size_t position : {55u, 167u}) EXPECT_TRUE(Substring(text, position, 24).ends_with("=="));
    EXPECT_TRUE(AnsweredWith(Decrypt(text, "pw"), Decrypted("m")));
  }
}

TEST(DecryptStringWithPassword, WrongPasswordFailsAuthentication) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kP001Text, "Correct horse"), kNotAuthentic));
}

TEST(DecryptStringWithPassword, IgnoresTheEmbeddedChallengeAndResponse) {
  std::string text = kP001Text;
  text.replace(55, 68, std::string(68, '#'));
  EXPECT_TRUE(AnsweredWith(Decrypt(text, kPassword), Decrypted(kMessage)));
}

class ChangedP001Field : public ::testing::TestWithParam<std::pair<size_t, size_t>> {};

TEST_P(ChangedP001Field, FailsAuthentication) {
  std::string text = kP001Text;
  auto [position, length] = GetParam();
  Buffer field = DecodeBase64Text(Substring(text, position, length));
  field.data()[0] ^= 0x80;
  text.replace(position, length, EncodeBase64Text(field));
  EXPECT_TRUE(AnsweredWith(Decrypt(text, kPassword), kNotAuthentic));
}

INSTANTIATE_TEST_SUITE_P(SaltMacIvCiphertext, ChangedP001Field,
                         ::testing::Values(std::pair<size_t, size_t>{11, 44},
                                           std::pair<size_t, size_t>{123, 44},
                                           std::pair<size_t, size_t>{167, 24},
                                           std::pair<size_t, size_t>{191, std::string::npos}));

TEST(DecryptStringWithPassword, P001TextsCutShortEscapeToTheDispatcher) {
  std::string p001 = kP001Text;
  for (const std::string& text :
       {"formatP001-" + std::string(100, 'A'), Substring(p001, 0, 166), Substring(p001, 0, 190)}) {
    EXPECT_TRUE(EscapedWith(Dispatch("decryptStringWithPassword",
                                     MapArgs({{"encryptedMessage", text}, {"password", "pw"}})),
                            "invalid string position"))
        << text.size();
  }
}

TEST(DecryptStringWithPassword, ReadsTheLegacyLayout) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kLegacyPasswordText, kPassword), Decrypted(kMessage)));
}

TEST(DecryptStringWithPassword, ShortLegacyTextEscapesToTheDispatcher) {
  std::string text = Substring(kLegacyPasswordText, 0, 47);
  EXPECT_TRUE(EscapedWith(Dispatch("decryptStringWithPassword",
                                   MapArgs({{"encryptedMessage", text}, {"password", "pw"}})),
                          "invalid string position"));
}

TEST(DecryptStringWithPassword, K001TextTakesTheLegacyPath) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kK001Text, kPassword), MakeReplyMap({{"error", kNotBase64}})));
}

}  // namespace
}  // namespace quillmar::testing
