// The secret types free nothing that still holds a secret, whatever frees
// their storage: release, growth, assignment over them, clearing. A plain
// std::string doing the same is the control that shows the watch sees it.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "base/secret_memory.h"
#include "platform/platform_string.h"
#include "tests/freed_secrets/freed_block_watch.h"

namespace quillmar::testing {
namespace {

using base::Buffer;
using base::SecretBytes;
using base::SecretString;
using base::SecretU16String;
using platform::PlatformString;

// Widened unit by unit: a plain std::u16string on the way would be freed
// holding the secret.
SecretU16String Widened(std::string_view ascii) {
  SecretU16String wide;
  for (char c : ascii) wide.push_back(static_cast<char16_t>(c));
  return wide;
}

SecretBytes BytesOf(std::string_view text) { return SecretBytes(text.begin(), text.end()); }

// What a case does with `secret`; everything it frees is watched.
struct LifetimeCase {
  const char* name;
  std::function<void(const std::string& secret)> run;
  bool plain = false;  // the control: blocks holding the secret are freed
};

void PrintTo(const LifetimeCase& lifetime_case, std::ostream* out) { *out << lifetime_case.name; }

const LifetimeCase kLifetimes[] = {
    {"SecretStringReleased", [](const std::string& s) { SecretString text(s); }},
    {"SecretStringGrownPastItsStorage",
     [](const std::string& s) {
       SecretString text(s);
       for (int i = 0; i < 200; ++i) text.push_back('x');
     }},
    {"SecretStringResizedBeyondItsStorage",
     [](const std::string& s) {
       SecretString text(s);
       text.resize(4096);
     }},
    {"SecretStringAssignedOver",
     [](const std::string& s) {
       SecretString text(s);
       text = SecretString("other");
       SecretString copy(s);
       copy = text;
     }},
    {"SecretStringMovedAndCleared",
     [](const std::string& s) {
       SecretString text(s);
       SecretString moved(std::move(text));
       moved.clear();
     }},
    {"SecretStringAdoptingAPlainString",
     [](const std::string& s) {
       std::string plain = s;
       SecretString text(std::move(plain));
     }},
    {"SecretU16StringGrownAndReleased",
     [](const std::string& s) {
       SecretU16String text = Widened(s);
       text.append(Widened(s));
       text.reserve(1000);
     }},
    {"SecretBytesGrownAndReleased",
     [](const std::string& s) {
       SecretBytes bytes = BytesOf(s);
       bytes.insert(bytes.end(), s.begin(), s.end());
       bytes.resize(3000);
     }},
    {"BufferResizedCopiedAndAssigned",
     [](const std::string& s) {
       Buffer buffer(reinterpret_cast<const uint8_t*>(s.data()), s.size());
       Buffer copy = buffer;
       buffer.Resize(5000);
       copy = Buffer(16);
     }},
    {"PlatformStringConvertedCopiedAndCleared",
     [](const std::string& s) {
       PlatformString text = PlatformString::FromUtf8(s);
       PlatformString copy = text;
       text = PlatformString(u"other");
       copy.Clear();
     }},
    {"PlainStringGrown",
     [](const std::string& s) {
       std::string text = s;
       for (int i = 0; i < 200; ++i) text.push_back('x');
     },
     true},
};

class SecretLifetime : public ::testing::TestWithParam<LifetimeCase> {};

TEST_P(SecretLifetime, FreesNoBlockHoldingTheSecret) {
  std::string secret = MakeSecret(40);
  std::string wide_secret = Utf16Bytes(secret);
  FreedBlockWatch::Start({secret, wide_secret});
  GetParam().run(secret);
  size_t freed_with_secret = FreedBlockWatch::Stop();
  if (GetParam().plain) {
    EXPECT_GT(freed_with_secret, 0u) << "the watch misses a plain string's freed storage";
  } else {
    EXPECT_EQ(freed_with_secret, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(SecretTypes, SecretLifetime, ::testing::ValuesIn(kLifetimes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar::testing
