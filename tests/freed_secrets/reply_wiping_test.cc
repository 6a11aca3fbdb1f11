// Every block the plug-in frees while it answers a call that returns a
// secret is searched for that secret: none may still hold it. The calls go
// through the channel's message handler and the dispatcher as the host
// delivers them; the reply bytes are only looked at where they lie.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "channel/binary_messenger.h"
#include "channel/method_channel.h"
#include "channel/standard_codec.h"
#include "common/arguments.h"
#include "common/registration_state.h"
#include "common/text.h"
#include "crypto/composites.h"
#include "crypto/handlers.h"
#include "platform/fake/fake_credentials.h"
#include "platform/fake/fake_system_version.h"
#include "platform/fake/fake_vault.h"
#include "platform/service_registry.h"
#include "plugin/handler.h"
#include "plugin/quillmar_core_windows.h"
#include "storage/item_stores.h"
#include "tests/freed_secrets/freed_block_watch.h"
#include "tests/support/recording_result.h"

namespace quillmar::testing {
namespace {

// Keeps the handler the channel installs, so that a test can deliver to it.
class CapturingMessenger : public BinaryMessenger {
 public:
  void SendOnChannel(const std::string&, const uint8_t*, size_t, BinaryReply) const override {}
  void SetChannelHandler(const std::string&, BinaryMessageHandler handler) override {
    handler_ = std::move(handler);
  }
  const BinaryMessageHandler& handler() const { return handler_; }

 private:
  BinaryMessageHandler handler_;
};

std::string Base64Decoded(const std::string& text) {
  platform::Buffer bytes = DecodeBase64Text(text);
  return std::string(bytes.data(), bytes.data() + bytes.size());
}

// The one success value `handler` answers, for building a case's input.
EncodableValue ReplyValue(MethodHandler handler, const EncodableValue& arguments,
                          const std::string& key) {
  auto [log, result] = MakeRecordingResult();
  handler(&arguments, std::move(result));
  auto answers = log->answers();
  if (answers.size() != 1) return EncodableValue();
  const auto* map = answers.front().value.GetIf<EncodableMap>();
  if (map == nullptr) return EncodableValue();
  auto entry = map->find(EncodableValue(key));
  return entry == map->end() ? EncodableValue() : entry->second;
}

std::string ReplyText(MethodHandler handler, const EncodableValue& arguments,
                      const std::string& key) {
  EncodableValue value = ReplyValue(handler, arguments, key);
  const auto* text = value.GetIf<std::string>();
  return text ? *text : std::string();
}

// One call whose reply carries a secret, and the forms of that secret no
// freed block may hold.
struct SecretCall {
  std::string method;
  EncodableValue arguments;
  std::vector<std::string> secrets;
};

// Fakes for the item stores, current for the fixture's life.
struct Services {
  platform::fake::FakeSystemVersion version{true};
  platform::fake::FakeVault vault;
  platform::fake::FakeCredentialManager credentials;
  platform::ScopedOverride<platform::SystemVersion> version_scope{&version};
  platform::ScopedOverride<platform::PasswordVault> vault_scope{&vault};
  platform::ScopedOverride<platform::CredentialManager> credentials_scope{&credentials};
};

struct SecretReplyCase {
  const char* name;
  std::function<SecretCall(Services&)> prepare;
};

constexpr char kKey[] =
    "gIGCg4SFhoeIiYqLjI2Oj5CRkpOUlZaXmJmam5ydnp+goaKjpKWmp6ipqqusra6vsLGys7S1tre4ubq7vL2+vw==";
constexpr char kSalt[] = "AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyA=";

SecretCall StoredItem(Services& services, bool vault, bool modern) {
  std::string secret = MakeSecret(24);
  services.version.set_windows10_or_later(modern);
  if (vault) {
    services.vault.Put(kResourceName, Utf8ToWide("entry"), Utf8ToWide(secret));
  } else {
    std::string blob = secret + '\0';
    services.credentials.Put(
        Utf8ToWide(CredentialTargetName("entry")),
        platform::Buffer(reinterpret_cast<const uint8_t*>(blob.data()), blob.size()));
  }
  return {"getKeychainItem", MapArgs({{"itemKey", "entry"}}), {secret, Utf16Bytes(secret)}};
}

SecretCall KeyEncrypted(Services&) {
  std::string secret = MakeSecret(24);
  std::string text =
      ReplyText(HandleEncryptToStringWithKey,
                MapArgs({{"message", secret}, {"key512Base64", kKey}}), "encryptedMessage");
  return {"decryptStringWithKey",
          MapArgs({{"encryptedMessage", text}, {"key512Base64", kKey}}),
          {secret, Utf16Bytes(secret)}};
}

SecretCall PasswordEncrypted(Services&) {
  std::string secret = MakeSecret(24);
  std::string text =
      ReplyText(HandleEncryptToStringWithPassword,
                MapArgs({{"message", secret}, {"password", "pw"}}), "encryptedMessage");
  return {"decryptStringWithPassword",
          MapArgs({{"encryptedMessage", text}, {"password", "pw"}}),
          {secret, Utf16Bytes(secret)}};
}

// The bits are known from a first, unwatched call with the same arguments.
SecretCall DerivedBits(Services&) {
  EncodableValue arguments = MapArgs({{"password", MakeSecret(24)},
                                      {"saltBase64", kSalt},
                                      {"iterationCount", 1000},
                                      {"outputByteLength", 64}});
  std::string bits = ReplyText(HandleDeriveBitsFromPassword, arguments, "derivedBits");
  return {"deriveBitsFromPassword", arguments, {bits, Base64Decoded(bits), Utf16Bytes(bits)}};
}

SecretCall ChallengeResponse(Services&) {
  EncodableValue arguments = MapArgs({{"password", MakeSecret(24)},
                                      {"passwordDerivationSaltBase64", kSalt},
                                      {"passwordChallengeBase64", "wMHCw8TFxsfIycrLzM3Ozw=="}});
  std::string response =
      ReplyText(HandleComputePasswordChallengeResponse, arguments, "challengeResponse");
  return {"computePasswordChallengeResponse",
          arguments,
          {response, Base64Decoded(response), Utf16Bytes(response)}};
}

// Runs `command`; its standard output.
std::string Shell(const std::string& command) {
  FILE* pipe = popen(("(" + command + ") 2>/dev/null").c_str(), "r");
  std::string output;
  char chunk[4096];
  size_t size;
  while (pipe && (size = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, size);
  if (pipe) pclose(pipe);
  return output;
}

SecretCall RsaEncrypted(Services&) {
  char pattern[] = "/tmp/quillmar-freed-XXXXXX";
  std::string directory = mkdtemp(pattern);
  std::string private_key = Shell(
      "cd " + directory +
      " && openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -outform DER -out k.der"
      " && openssl pkcs8 -topk8 -nocrypt -inform DER -in k.der -outform DER -out p8.der"
      " && openssl base64 -A -in p8.der");
  std::string public_key = Shell("cd " + directory +
                                 " && openssl pkey -inform DER -in p8.der -pubout -outform DER"
                                 " | openssl base64 -A; rm -r " +
                                 directory);
  std::string secret = MakeSecret(24);
  std::string ciphertext =
      ReplyText(HandleEncryptToStringWithPublicKey,
                MapArgs({{"message", secret}, {"publicKeyBase64", public_key}}), "ciphertext");
  return {"decryptStringWithPrivateKey",
          MapArgs({{"ciphertext", ciphertext}, {"privateKeyBase64", private_key}}),
          {secret, Utf16Bytes(secret)}};
}

const SecretReplyCase kSecretReplies[] = {
    {"ItemFromVault", [](Services& s) { return StoredItem(s, true, true); }},
    {"ItemMovedFromLegacyStore", [](Services& s) { return StoredItem(s, false, true); }},
    {"ItemFromLegacyStoreBeforeWindows10", [](Services& s) { return StoredItem(s, false, false); }},
    {"TextDecryptedWithKey", KeyEncrypted},
    {"TextDecryptedWithPassword", PasswordEncrypted},
    {"BitsDerivedFromPassword", DerivedBits},
    {"PasswordChallengeResponse", ChallengeResponse},
    {"TextDecryptedWithPrivateKey", RsaEncrypted},
};

void PrintTo(const SecretReplyCase& secret_reply, std::ostream* out) { *out << secret_reply.name; }

class ReplyWiping : public ::testing::TestWithParam<SecretReplyCase> {};

TEST_P(ReplyWiping, NoFreedBlockHoldsTheSecret) {
  Services services;
  SecretCall call = GetParam().prepare(services);
  ASSERT_FALSE(call.secrets.front().empty()) << "the case found no secret to watch for";

  CapturingMessenger messenger;
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  MethodChannel channel(&messenger, "quillmar_core_windows", &codec);
  QuillmarCoreWindows plugin;
  channel.SetMethodCallHandler(
      [&plugin](const MethodCall& method_call, std::unique_ptr<MethodResult> result) {
        plugin.DispatchMethodCall(method_call, std::move(result));
      });
  std::unique_ptr<std::vector<uint8_t>> message =
      codec.EncodeCall(MethodCall(call.method, std::make_unique<EncodableValue>(call.arguments)));

  int replies = 0;
  bool reply_holds_secret = false;
  const std::string& secret = call.secrets.front();
  std::vector<std::string_view> watched(call.secrets.begin(), call.secrets.end());
  FreedBlockWatch::Start(watched);
  messenger.handler()(message->data(), message->size(),
                      [&](const uint8_t* reply, size_t reply_size) {
                        ++replies;
                        reply_holds_secret = Holds(reply, reply_size, secret);
                      });
  size_t freed_with_secret = FreedBlockWatch::Stop();

  EXPECT_EQ(replies, 1);
  EXPECT_TRUE(reply_holds_secret) << "the reply does not carry the secret";
  EXPECT_EQ(freed_with_secret, 0u);
}

INSTANTIATE_TEST_SUITE_P(SecretReplies, ReplyWiping, ::testing::ValuesIn(kSecretReplies),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar::testing
