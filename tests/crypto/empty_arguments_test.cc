// The handler frame's emptiness checks: the first empty text, in reading
// order, is answered with its message and nothing else is done.
#include <gtest/gtest.h>

#include "tests/crypto/crypto_test_support.h"

namespace quillmar::testing {
namespace {

struct EmptyCase {
  const char* name;
  Handler handler;
  EncodableValue arguments;
  const char* message;
};

class EmptyArgument : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptyArgument, IsAnsweredWithItsMessage) {
  EXPECT_TRUE(AnsweredWith(Call(GetParam().handler, GetParam().arguments),
                           MakeReplyMap({{"error", GetParam().message}})));
}

// Texts that would fail later (bad base64) show that nothing runs after the check.
const EmptyCase kEmptyCases[] = {
    {"DeriveNoArguments", HandleDeriveBitsFromPassword, EncodableValue(),
     "DeriveBitsFromPassword received an empty password."},
    {"DeriveListArguments", HandleDeriveBitsFromPassword, EncodableValue(EncodableList{"x"}),
     "DeriveBitsFromPassword received an empty password."},
    {"DeriveBothEmpty", HandleDeriveBitsFromPassword,
     MapArgs({{"password", ""}, {"saltBase64", ""}}),
     "DeriveBitsFromPassword received an empty password."},
    {"DeriveSalt", HandleDeriveBitsFromPassword,
     MapArgs({{"password", "pw"}, {"iterationCount", 0}}),
     "DeriveBitsFromPassword received an empty passwordDerivationSalt."},
    {"ChallengePassword", HandleComputePasswordChallengeResponse,
     MapArgs({{"passwordDerivationSaltBase64", "!"}}),
     "ComputePasswordChallengeResponse received an empty password."},
    {"ChallengeSalt", HandleComputePasswordChallengeResponse,
     MapArgs({{"password", "pw"}, {"passwordChallengeBase64", "!"}}),
     "ComputePasswordChallengeResponse received an empty passwordDerivationSaltBase64."},
    {"ChallengeChallenge", HandleComputePasswordChallengeResponse,
     MapArgs({{"password", "pw"}, {"passwordDerivationSaltBase64", "!"}}),
     "ComputePasswordChallengeResponse received an empty passwordChallengeBase64."},
    {"KeyEncryptMessage", HandleEncryptToStringWithKey, MapArgs({{"key512Base64", "!"}}),
     "EncryptToStringWithKey received an empty message."},
    {"KeyEncryptKey", HandleEncryptToStringWithKey, MapArgs({{"message", "m"}}),
     "EncryptToStringWithKey received an empty key512Base64."},
    {"KeyDecryptText", HandleDecryptStringWithKey, MapArgs({{"key512Base64", "!"}}),
     "DecryptStringWithKey received an empty encryptedMessage."},
    {"KeyDecryptKey", HandleDecryptStringWithKey, MapArgs({{"encryptedMessage", "formatK001-"}}),
     "DecryptStringWithKey received an empty key512Base64."},
    {"PasswordEncryptMessage", HandleEncryptToStringWithPassword, MapArgs({{"password", "pw"}}),
     "EncryptToStringWithPassword received an empty message."},
    {"PasswordEncryptPassword", HandleEncryptToStringWithPassword, MapArgs({{"message", "m"}}),
     "EncryptToStringWithPassword received an empty password."},
    {"PasswordDecryptText", HandleDecryptStringWithPassword, MapArgs({{"password", "pw"}}),
     "DecryptStringWithPassword received an empty encryptedMessage."},
    {"PasswordDecryptPassword", HandleDecryptStringWithPassword,
     MapArgs({{"encryptedMessage", "formatP001-"}}),
     "DecryptStringWithPassword received an empty password."},
};

INSTANTIATE_TEST_SUITE_P(Handlers, EmptyArgument, ::testing::ValuesIn(kEmptyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar::testing
