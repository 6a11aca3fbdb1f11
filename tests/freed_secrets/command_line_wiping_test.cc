// The command-line host frees no block that held a reply's secret: reply
// bytes, the decoded reply, the JSON written for it and the printed line;
// nor one that held a message's hex or bytes. Its serve loop runs in this
// process against the plug-in on the host stand-in, with a fake vault.
// Texts read as JSON are not watched: nlohmann's reader keeps each token's
// raw bytes in a buffer of its own that it frees unwiped.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/registration_state.h"
#include "platform/fake/fake_system_version.h"
#include "platform/fake/fake_vault.h"
#include "platform/service_registry.h"
#include "plugin/registration.h"
#include "tests/freed_secrets/freed_block_watch.h"
#include "tools/quillmar_host/hex.h"
#include "tools/quillmar_host/json.h"
#include "tools/quillmar_host/serve.h"

namespace quillmar::testing {
namespace {

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[4096];
  size_t size;
  while ((size = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, size);
  return text;
}

std::string HexOf(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0xF]);
  }
  return hex;
}

// A path of the command-line host: the text it reads, made from the secret
// before the watch starts, and a run that stops the watch once the path is
// done, returning the count, then gives what the path printed.
struct CommandLinePath {
  const char* name;
  std::function<std::string(const std::string& secret)> input;
  std::function<std::string(const std::string& input, size_t* freed_with_secret)> run;
};

void PrintTo(const CommandLinePath& path, std::ostream* out) { *out << path.name; }

// The secret is the stored item's value; only the reply carries it.
std::string ServeSession(const std::string& secret_item, size_t* freed_with_secret) {
  platform::fake::FakeSystemVersion version(true);
  platform::fake::FakeVault vault;
  vault.Put(kResourceName, u"entry", platform::PlatformString::FromUtf8(secret_item));
  platform::ScopedOverride<platform::SystemVersion> version_scope(&version);
  platform::ScopedOverride<platform::PasswordVault> vault_scope(&vault);
  std::istringstream lines(
      "{\"id\": 1, \"method\": \"getKeychainItem\", \"arguments\": {\"itemKey\": \"entry\"}}\n");
  std::FILE* printed = std::tmpfile();
  {
    host::TestDriver driver;
    driver.RegisterPlugin(RegisterWithRegistrar);
    cli::LineOutput output(printed);
    cli::Serve(driver, lines, output, false);
  }
  *freed_with_secret = FreedBlockWatch::Stop();
  std::string text = ReadAll(printed);
  std::fclose(printed);
  return text;
}

const CommandLinePath kPaths[] = {
    {"ServeReadsAnItem", [](const std::string& secret) { return secret; }, ServeSession},
    {"JsonWrittenForNestedValues", [](const std::string& secret) { return secret; },
     [](const std::string& secret, size_t* freed_with_secret) {
       EncodableValue value(EncodableMap{
           {EncodableValue("list"),
            EncodableValue(EncodableList{EncodableValue(secret),
                                         EncodableValue(EncodableList{EncodableValue(secret)})})},
           {EncodableValue("bytes"),
            EncodableValue(std::vector<uint8_t>(secret.begin(), secret.end()))}});
       std::string wide_secret = Utf16Bytes(secret);
       std::string hex_secret = HexOf(secret);
       FreedBlockWatch::Start({secret, wide_secret, hex_secret});
       base::SecretString written = cli::WriteJson(value);
       *freed_with_secret = FreedBlockWatch::Stop();
       return std::string(written.view());
     }},
    {"HexReadAndWrittenAgain", HexOf,
     [](const std::string& input, size_t* freed_with_secret) {
       std::optional<base::SecretBytes> bytes = cli::ParseHex(input);
       base::SecretString hex = cli::ToHex(*bytes);
       *freed_with_secret = FreedBlockWatch::Stop();
       return std::string(hex.view()) + " " +
              std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
     }},
};

class CommandLineWiping : public ::testing::TestWithParam<CommandLinePath> {};

TEST_P(CommandLineWiping, FreesNoBlockHoldingTheSecret) {
  std::string secret = MakeSecret(40);
  std::string wide_secret = Utf16Bytes(secret);
  std::string hex_secret = HexOf(secret);
  std::string input = GetParam().input(secret);
  size_t freed_with_secret = 0;
  FreedBlockWatch::Start({secret, wide_secret, hex_secret});
  std::string printed = GetParam().run(input, &freed_with_secret);
  EXPECT_NE(printed.find(secret), std::string::npos) << "the secret did not go through";
  EXPECT_EQ(freed_with_secret, 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, CommandLineWiping, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar::testing
