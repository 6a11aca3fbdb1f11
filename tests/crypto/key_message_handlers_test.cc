// "encryptToStringWithKey" and "decryptStringWithKey": K001 and the two
// older layouts.
#include <gtest/gtest.h>

#include "common/substring.h"
#include "crypto/composites.h"
#include "tests/crypto/crypto_test_support.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

using platform::Buffer;

RecordedAnswer Encrypt(const std::string& message, const std::string& key) {
  return Call(HandleEncryptToStringWithKey, MapArgs({{"message", message}, {"key512Base64", key}}));
}

RecordedAnswer Decrypt(const std::string& text, const std::string& key) {
  return Call(HandleDecryptStringWithKey,
              MapArgs({{"encryptedMessage", text}, {"key512Base64", key}}));
}

// `text` with the base64 field at `position` decoded, one byte changed and
// encoded again.
std::string WithFieldChanged(const std::string& text, size_t position, size_t length) {
  Buffer field = DecodeBase64Text(Substring(text, position, length));
  field.data()[field.size() - 1] ^= 0x01;
  std::string changed = text;
  changed.replace(position, length, EncodeBase64Text(field));
  return changed;
}

TEST(EncryptToStringWithKey, WritesTheKnownK001TextForAGivenIv) {
  ScriptedRandom random({kK001Iv});
  EXPECT_TRUE(
      AnsweredWith(Encrypt(kMessage, kK001Key), MakeReplyMap({{"encryptedMessage", kK001Text}})));
}

TEST(DecryptStringWithKey, ReadsTheKnownK001Text) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kK001Text, kK001Key), Decrypted(kMessage)));
}

TEST(EncryptToStringWithKey, DrawsANewIvForEveryText) {
  std::string first = ReplyText(Encrypt(kMessage, kK001Key), "encryptedMessage");
  std::string second = ReplyText(Encrypt(kMessage, kK001Key), "encryptedMessage");
  EXPECT_NE(first, second);
  for (const std::string& text : {first, second}) {
    std::string ciphertext = EncodeBase64Text(DecodeBase64Text(Substring(text, 79)));
    EXPECT_EQ(text.size(), 79 + ciphertext.size());
    EXPECT_TRUE(Substring(text, 11, 44).ends_with("=") && Substring(text, 55, 24).ends_with("=="));
    EXPECT_TRUE(AnsweredWith(Decrypt(text, kK001Key), Decrypted(kMessage)));
  }
}

class ChangedField : public ::testing::TestWithParam<std::pair<size_t, size_t>> {};

TEST_P(ChangedField, FailsAuthentication) {
  std::string text = WithFieldChanged(kK001Text, GetParam().first, GetParam().second);
  EXPECT_TRUE(
      AnsweredWith(Decrypt(text, kK001Key), MakeReplyMap({{"authenticationSuccess", false}})));
}

INSTANTIATE_TEST_SUITE_P(MacIvCiphertext, ChangedField,
                         ::testing::Values(std::pair<size_t, size_t>{11, 44},
                                           std::pair<size_t, size_t>{55, 24},
                                           std::pair<size_t, size_t>{79, std::string::npos}));

TEST(KeyHandlers, KeyOfSixtyThreeBytesIsTooShortForBoth) {
  std::string key = EncodeBase64Text(Buffer(63));
  EXPECT_TRUE(AnsweredWith(
      Encrypt("m", key),
      MakeReplyMap({{"error", "EncryptToStringWithKey received an key shorter than 64 bytes."}})));
  EXPECT_TRUE(AnsweredWith(
      Decrypt(kK001Text, key),
      MakeReplyMap({{"error", "DecryptStringWithKey received an key shorter than 64 bytes."}})));
}

TEST(KeyHandlers, KeyOfEightyBytesUsesItsFirstSixtyFour) {
  Buffer key_64 = DecodeBase64Text(kK001Key);
  Buffer padding(16);
  std::string key_80 = EncodeBase64Text(JoinBuffers({&key_64, &padding}));
  std::string text = ReplyText(Encrypt(kMessage, key_80), "encryptedMessage");
  EXPECT_TRUE(AnsweredWith(Decrypt(text, kK001Key), Decrypted(kMessage)));
}

TEST(DecryptStringWithKey, K001TextsCutShortEscapeToTheDispatcher) {
  std::string k001 = kK001Text;
  for (const std::string& text :
       {std::string("formatK001-"), Substring(k001, 0, 54), Substring(k001, 0, 78)}) {
    EXPECT_TRUE(EscapedWith(Dispatch("decryptStringWithKey", MapArgs({{"encryptedMessage", text},
                                                                      {"key512Base64", kK001Key}})),
                            "invalid string position"))
        << text;
  }
}

TEST(DecryptStringWithKey, PrefixInAnotherCaseOrAfterABlankIsALegacyText) {
  std::string k001 = kK001Text;
  for (const std::string& text : {"formatk001-" + Substring(k001, 11), " " + k001}) {
    EXPECT_TRUE(AnsweredWith(Decrypt(text, kK001Key), MakeReplyMap({{"error", kNotBase64}})));
  }
}

TEST(DecryptStringWithKey, JsonLayoutNeedsOnlyThirtyTwoKeyBytes) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kJsonLayoutText, kJsonLayoutKey), Decrypted(kMessage)));
  EXPECT_TRUE(AnsweredWith(
      Decrypt(kK001Text, kJsonLayoutKey),
      MakeReplyMap({{"error", "DecryptStringWithKey received an key shorter than 64 bytes."}})));
}

TEST(DecryptStringWithKey, JsonLayoutWithANumberIvFallsThroughToTheBareLayout) {
  EXPECT_TRUE(AnsweredWith(Decrypt("{\"iv\": 5, \"cipher\": \"AAAA\"}", kK001Key),
                           MakeReplyMap({{"error", kNotBase64}})));
}

TEST(DecryptStringWithKey, ReadsTheBareLayout) {
  EXPECT_TRUE(AnsweredWith(Decrypt(kBareLayoutText, kK001Key), Decrypted(kMessage)));
}

TEST(DecryptStringWithKey, BareLayoutUnderAnotherKeyIsAnError) {
  RecordedAnswer answer = Decrypt(kBareLayoutText, kJsonLayoutKey);
  EXPECT_TRUE(
      AnsweredWith(
          answer,
          MakeReplyMap({{"error", "The data is not a ciphertext under this key and IV."}})) ||
      AnsweredWith(answer, MakeReplyMap({{"error", "The bytes are not well-formed UTF-8 text."}})));
}

TEST(DecryptStringWithKey, ShortLegacyTextEscapesToTheDispatcher) {
  EXPECT_TRUE(EscapedWith(Dispatch("decryptStringWithKey", MapArgs({{"encryptedMessage", "AAAA"},
                                                                    {"key512Base64", kK001Key}})),
                          "invalid string position"));
}

TEST(EncryptToStringWithKey, KeyOfAnotherTypeEscapesToTheDispatcher) {
  EXPECT_TRUE(EscapedWith(
      Dispatch("encryptToStringWithKey", MapArgs({{"message", "m"}, {"key512Base64", 64}})),
      "bad variant access"));
}

}  // namespace
}  // namespace quillmar::testing
