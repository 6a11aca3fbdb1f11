// "deriveBitsFromPassword" and "computePasswordChallengeResponse".
#include <gtest/gtest.h>

#include "common/substring.h"
#include "crypto/composites.h"
#include "tests/crypto/crypto_test_support.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

std::string Derived(const EncodableValue& arguments) {
  RecordedAnswer answer = Call(HandleDeriveBitsFromPassword, arguments);
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  return ReplyText(answer, "derivedBits");
}

TEST(DeriveBitsFromPassword, DefaultsToOneIterationAndSixtyFourBytes) {
  const Pbkdf2Answer& answer = kPbkdf2Answers[0];
  ASSERT_EQ(answer.iterations, 1u);
  RecordedAnswer reply =
      Call(HandleDeriveBitsFromPassword,
           MapArgs({{"password", answer.password}, {"saltBase64", answer.salt_base64}}));
  EXPECT_TRUE(AnsweredWith(reply, MakeReplyMap({{"derivedBits", answer.derived_base64}})));
  EXPECT_EQ(std::string(answer.derived_base64).size(), 88u);
}

TEST(DeriveBitsFromPassword, AnswersTheKnownDerivationsForEveryLength) {
  for (const Pbkdf2Answer& answer : kPbkdf2Answers) {
    if (std::string(answer.password).empty() || std::string(answer.salt_base64).empty()) continue;
    int32_t length = static_cast<int32_t>(DecodeBase64Text(answer.derived_base64).size());
    EXPECT_EQ(Derived(MapArgs({{"password", answer.password},
                               {"saltBase64", answer.salt_base64},
                               {"iterationCount", static_cast<int32_t>(answer.iterations)},
                               {"outputByteLength", length}})),
              answer.derived_base64);
  }
}

TEST(DeriveBitsFromPassword, SaltThatIsNotBase64IsAnError) {
  EXPECT_TRUE(AnsweredWith(
      Call(HandleDeriveBitsFromPassword, MapArgs({{"password", "pw"}, {"saltBase64", "*?*?"}})),
      MakeReplyMap({{"error", kNotBase64}})));
}

struct CountCase {
  int32_t iteration_count;
  int32_t output_byte_length;
  const char* message;
};

class DeriveCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(DeriveCounts, ZeroOrNegativeAreRefusedAsErrors) {
  EXPECT_TRUE(AnsweredWith(Call(HandleDeriveBitsFromPassword,
                                MapArgs({{"password", "pw"},
                                         {"saltBase64", "c2FsdA=="},
                                         {"iterationCount", GetParam().iteration_count},
                                         {"outputByteLength", GetParam().output_byte_length}})),
                           MakeReplyMap({{"error", GetParam().message}})));
}

constexpr char kIterationsMessage[] = "The iteration count must be from 1 to 2147483647.";
constexpr char kLengthMessage[] = "The output length must be from 1 to 2147483647 bytes.";

INSTANTIATE_TEST_SUITE_P(Counts, DeriveCounts,
                         ::testing::Values(CountCase{0, 64, kIterationsMessage},
                                           CountCase{-1, 64, kIterationsMessage},
                                           CountCase{INT32_MIN, 64, kIterationsMessage},
                                           CountCase{1, 0, kLengthMessage},
                                           CountCase{1, -64, kLengthMessage}));

TEST(DeriveBitsFromPassword, CountOfAnotherTypeEscapesToTheDispatcher) {
  EXPECT_TRUE(
      EscapedWith(Dispatch("deriveBitsFromPassword", MapArgs({{"password", "pw"},
                                                              {"saltBase64", "c2FsdA=="},
                                                              {"iterationCount", int64_t{1}}})),
                  "bad variant access"));
}

TEST(ComputePasswordChallengeResponse, AnswersTheResponseEmbeddedInAP001Text) {
  std::string p001 = kP001Text;
  RecordedAnswer answer = Call(HandleComputePasswordChallengeResponse,
                               MapArgs({{"password", kPassword},
                                        {"passwordDerivationSaltBase64", Substring(p001, 11, 44)},
                                        {"passwordChallengeBase64", Substring(p001, 55, 24)}}));
  EXPECT_TRUE(AnsweredWith(answer, MakeReplyMap({{"challengeResponse", Substring(p001, 79, 44)}})));
}

TEST(ComputePasswordChallengeResponse, IsHmacUnderTheSecondHalfOfTheDerivedBits) {
  std::string bits = Derived(MapArgs({{"password", "pw"},
                                      {"saltBase64", "c2FsdA=="},
                                      {"iterationCount", 100000},
                                      {"outputByteLength", 64}}));
  platform::Buffer mac_key(DecodeBase64Text(bits).data() + 32, 32);
  platform::Buffer challenge = DecodeBase64Text("AQ==");
  RecordedAnswer answer = Call(HandleComputePasswordChallengeResponse,
                               MapArgs({{"password", "pw"},
                                        {"passwordDerivationSaltBase64", "c2FsdA=="},
                                        {"passwordChallengeBase64", "AQ=="}}));
  std::string expected = EncodeBase64Text(ComputeMac(mac_key, challenge));
  EXPECT_EQ(expected.size(), 44u);
  EXPECT_TRUE(AnsweredWith(answer, MakeReplyMap({{"challengeResponse", expected}})));
}

TEST(ComputePasswordChallengeResponse, ChallengeThatIsNotBase64IsAnError) {
  EXPECT_TRUE(AnsweredWith(Call(HandleComputePasswordChallengeResponse,
                                MapArgs({{"password", "pw"},
                                         {"passwordDerivationSaltBase64", "c2FsdA=="},
                                         {"passwordChallengeBase64", "AQ"}})),
                           MakeReplyMap({{"error", kNotBase64}})));
}

}  // namespace
}  // namespace quillmar::testing
