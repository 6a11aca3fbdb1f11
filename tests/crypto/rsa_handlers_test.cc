// "encryptToStringWithPublicKey", "decryptStringWithPrivateKey" and
// "signChallenge" against keys made, and results checked, by the openssl
// command line, which only the Linux build has.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/crypto/crypto_test_support.h"
#include "tests/crypto/vectors/known_answers.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kOaep[] =
    " -pkeyopt rsa_padding_mode:oaep -pkeyopt rsa_oaep_md:sha256 -pkeyopt rsa_mgf1_md:sha256";
constexpr char kPss[] =
    " -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:32 -sigopt rsa_mgf1_md:sha256";

// Runs a shell command; its standard output, or "" with a test failure.
std::string Shell(const std::string& command) {
  FILE* pipe = popen(("(" + command + ") 2>/dev/null").c_str(), "r");
  std::string output;
  char chunk[4096];
  size_t size;
  while (pipe && (size = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, size);
  EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << command;
  return output;
}

class RsaHandlers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/quillmar-rsa-XXXXXX";
    directory_ = mkdtemp(pattern);
    Shell(
        "cd " + directory_ +
        " && openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -outform DER -out rsa.der"
        " && openssl pkcs8 -topk8 -nocrypt -inform DER -in rsa.der -outform DER -out key.der"
        " && openssl pkey -inform DER -in key.der -pubout -outform DER -out pub.der"
        " && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -outform DER -out "
        "ec.der"
        " && openssl pkcs8 -topk8 -nocrypt -inform DER -in ec.der -outform DER -out ec8.der"
        " && openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:512 -outform DER -out "
        "small.der"
        " && openssl pkcs8 -topk8 -nocrypt -inform DER -in small.der -outform DER -out small8.der");
    private_key_ = Base64Of("key.der");
    public_key_ = Base64Of("pub.der");
  }
  static void TearDownTestSuite() { fs::remove_all(directory_); }

  static std::string Path(const std::string& name) { return directory_ + "/" + name; }
  static std::string Base64Of(const std::string& name) {
    return Shell("openssl base64 -A -in " + Path(name));
  }
  static void WriteBase64(const std::string& name, const std::string& base64) {
    std::ofstream(Path(name + ".b64")) << base64;
    Shell("openssl base64 -d -A -in " + Path(name + ".b64") + " -out " + Path(name));
  }

  static inline std::string directory_;
  static inline std::string private_key_;
  static inline std::string public_key_;
};

TEST_F(RsaHandlers, CiphertextDecryptsWithOpenSslAsOaepSha256) {
  RecordedAnswer answer = Call(HandleEncryptToStringWithPublicKey,
                               MapArgs({{"message", kMessage}, {"publicKeyBase64", public_key_}}));
  WriteBase64("ours.bin", ReplyText(answer, "ciphertext"));
  EXPECT_EQ(Shell("openssl pkeyutl -decrypt -keyform DER -inkey " + Path("key.der") + kOaep +
                  " -in " + Path("ours.bin")),
            kMessage);
}

TEST_F(RsaHandlers, DecryptsWhatOpenSslEncrypted) {
  std::ofstream(Path("message.txt")) << kMessage;
  Shell("openssl pkeyutl -encrypt -pubin -keyform DER -inkey " + Path("pub.der") + kOaep + " -in " +
        Path("message.txt") + " -out " + Path("theirs.bin"));
  EXPECT_TRUE(AnsweredWith(
      Call(HandleDecryptStringWithPrivateKey,
           MapArgs({{"ciphertext", Base64Of("theirs.bin")}, {"privateKeyBase64", private_key_}})),
      MakeReplyMap({{"plaintext", kMessage}})));
}

TEST_F(RsaHandlers, MissingMessageRoundTripsAsEmptyText) {
  std::string ciphertext = ReplyText(
      Call(HandleEncryptToStringWithPublicKey, MapArgs({{"publicKeyBase64", public_key_}})),
      "ciphertext");
  EXPECT_EQ(ciphertext.size(), 344u);
  EXPECT_TRUE(
      AnsweredWith(Call(HandleDecryptStringWithPrivateKey,
                        MapArgs({{"ciphertext", ciphertext}, {"privateKeyBase64", private_key_}})),
                   MakeReplyMap({{"plaintext", ""}})));
}

TEST_F(RsaHandlers, SignatureVerifiesWithOpenSslAsPssOverTheChallengeBytes) {
  std::string challenge = "AAEC/f7/" + std::string(kHmacData);
  RecordedAnswer answer =
      Call(HandleSignChallenge,
           MapArgs({{"challengeBase64", challenge}, {"privateKeyBase64", private_key_}}));
  WriteBase64("challenge.bin", challenge);
  WriteBase64("signature.bin", ReplyText(answer, "signedChallenge"));
  EXPECT_EQ(Shell("openssl dgst -sha256 -verify " + Path("pub.der") + " -keyform DER" + kPss +
                  " -signature " + Path("signature.bin") + " " + Path("challenge.bin")),
            "Verified OK\n");
}

struct RsaFailure {
  const char* name;
  Handler handler;
  const char* text_key;  // the handler's first argument
  const char* text;      // its value; "@name" is the base64 of key file `name`
  const char* key;       // "@name" likewise
  const char* message;
};

class RsaRefusal : public RsaHandlers, public ::testing::WithParamInterface<RsaFailure> {};

TEST_P(RsaRefusal, IsAnsweredAsAnErrorMap) {
  auto resolve = [](const std::string& value) {
    return value.starts_with("@") ? Base64Of(value.substr(1)) : value;
  };
  std::string key_name = GetParam().handler == HandleEncryptToStringWithPublicKey
                             ? "publicKeyBase64"
                             : "privateKeyBase64";
  EXPECT_TRUE(AnsweredWith(
      Call(GetParam().handler, MapArgs({{GetParam().text_key, resolve(GetParam().text)},
                                        {key_name, resolve(GetParam().key)}})),
      MakeReplyMap({{"error", GetParam().message}})));
}

constexpr char kNotPublicKey[] =
    "The key is not an RSA public key in DER SubjectPublicKeyInfo form.";
constexpr char kNotKeyPair[] = "The key is not an RSA key pair in DER PKCS #8 form.";

const RsaFailure kRsaFailures[] = {
    {"EmptyPublicKey", HandleEncryptToStringWithPublicKey, "message", "m", "", kNotPublicKey},
    {"PemPublicKey", HandleEncryptToStringWithPublicKey, "message", "m",
     "-----BEGIN PUBLIC KEY-----\nMIIB\n-----END PUBLIC KEY-----\n", kNotBase64},
    {"PrivateKeyForPublic", HandleEncryptToStringWithPublicKey, "message", "m", "@key.der",
     kNotPublicKey},
    {"MessageTooLong", HandleEncryptToStringWithPublicKey, "message",
     "012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012"
     "3456789"
     "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "@pub.der", "The data is too long for the key."},
    {"CiphertextNotBase64", HandleDecryptStringWithPrivateKey, "ciphertext", "a b", "@key.der",
     kNotBase64},
    {"CiphertextNotOaep", HandleDecryptStringWithPrivateKey, "ciphertext", kHmacValue, "@key.der",
     "The ciphertext does not decrypt under this key."},
    {"EmptyPrivateKey", HandleDecryptStringWithPrivateKey, "ciphertext", kHmacValue, "",
     kNotKeyPair},
    {"TraditionalPrivateKey", HandleSignChallenge, "challengeBase64", "AQ==", "@rsa.der",
     kNotKeyPair},
    {"EcPrivateKey", HandleSignChallenge, "challengeBase64", "AQ==", "@ec8.der", kNotKeyPair},
    {"KeyTooSmallForPss", HandleSignChallenge, "challengeBase64", "AQ==", "@small8.der",
     "The key cannot sign with RSA-PSS, SHA-256 and a 32-byte salt."},
    {"ChallengeNotBase64", HandleSignChallenge, "challengeBase64", "AQ=", "@key.der", kNotBase64},
};

INSTANTIATE_TEST_SUITE_P(Failures, RsaRefusal, ::testing::ValuesIn(kRsaFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RsaHandlers, KeyThatIsANumberEscapesToTheDispatcher) {
  EXPECT_TRUE(EscapedWith(
      Dispatch("signChallenge", MapArgs({{"challengeBase64", "AQ=="}, {"privateKeyBase64", 5}})),
      "bad variant access"));
}

}  // namespace
}  // namespace quillmar::testing

#endif  // _WIN32
