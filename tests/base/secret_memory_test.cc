#include "base/secret_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <utility>

namespace quillmar::base {
namespace {

TEST(SecretMemoryTest, WipeZeroesExactlyTheRangeAndAcceptsNothing) {
  unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  SecureWipe(bytes + 2, 4);
  const unsigned char expected[8] = {1, 2, 0, 0, 0, 0, 7, 8};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
  SecureWipe(nullptr, 16);
  SecureWipe(bytes, 0);
  EXPECT_EQ(bytes[0], 1);
}

// The same edits on a secret text and on a std::u16string must give the
// same text, and the secret text's c_str() must end right after it.
struct EditCase {
  const char* name;
  std::function<void(SecretU16String&)> secret;
  std::function<void(std::u16string&)> plain;
};

void PrintTo(const EditCase& edit, std::ostream* out) { *out << edit.name; }

const EditCase kEdits[] = {
    {"NothingOnEmpty", [](SecretU16String&) {}, [](std::u16string&) {}},
    {"AppendToEmpty", [](SecretU16String& s) { s.append(u"abc"); },
     [](std::u16string& s) { s.append(u"abc"); }},
    {"AppendNothing",
     [](SecretU16String& s) {
       s.append(u"ab");
       s.append(u"");
     },
     [](std::u16string& s) { s.append(u"ab"); }},
    {"PushBackManyPastGrowth",
     [](SecretU16String& s) {
       for (int i = 0; i < 100; ++i) s.push_back(static_cast<char16_t>(u'a' + i % 26));
     },
     [](std::u16string& s) {
       for (int i = 0; i < 100; ++i) s.push_back(static_cast<char16_t>(u'a' + i % 26));
     }},
    {"ResizeGrowsWithTheFill",
     [](SecretU16String& s) {
       s.append(u"ab");
       s.resize(5, u'z');
     },
     [](std::u16string& s) {
       s.append(u"ab");
       s.resize(5, u'z');
     }},
    {"ResizeShrinks",
     [](SecretU16String& s) {
       s.append(u"abcdef");
       s.resize(2);
     },
     [](std::u16string& s) {
       s.append(u"abcdef");
       s.resize(2);
     }},
    {"ResizeToNothing",
     [](SecretU16String& s) {
       s.append(u"abc");
       s.resize(0);
     },
     [](std::u16string&) {}},
    {"ResizeEmptyToZeros", [](SecretU16String& s) { s.resize(3); },
     [](std::u16string& s) { s.resize(3); }},
    {"ClearThenAppend",
     [](SecretU16String& s) {
       s.append(u"abc");
       s.clear();
       s += u"d";
     },
     [](std::u16string& s) { s.append(u"d"); }},
    {"KeepsEmbeddedZeros", [](SecretU16String& s) { s.append(std::u16string_view(u"a\0b", 3)); },
     [](std::u16string& s) { s.append(std::u16string_view(u"a\0b", 3)); }},
};

class SecretStringEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(SecretStringEdits, MatchTheStandardStringAndStayTerminated) {
  SecretU16String secret;
  std::u16string plain;
  GetParam().secret(secret);
  GetParam().plain(plain);
  EXPECT_EQ(secret.view(), plain);
  EXPECT_EQ(secret.size(), plain.size());
  EXPECT_EQ(secret.empty(), plain.empty());
  EXPECT_EQ(secret.c_str()[secret.size()], u'\0');
  SecretU16String copy = secret;
  EXPECT_EQ(copy, secret);
  EXPECT_EQ(copy.c_str()[copy.size()], u'\0');
}

INSTANTIATE_TEST_SUITE_P(Edits, SecretStringEdits, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SecretMemoryTest, MoveHandsTheStorageOverAndLeavesNoText) {
  // A short text too: nothing of it may stay in the source object.
  SecretString source("PIN1234");
  const char* units = source.data();
  SecretString target(std::move(source));
  EXPECT_EQ(target.data(), units);
  EXPECT_EQ(target.view(), "PIN1234");
  EXPECT_TRUE(source.empty());  // NOLINT(bugprone-use-after-move)
  EXPECT_STREQ(source.c_str(), "");

  SecretString assigned("x");
  assigned = std::move(target);
  EXPECT_EQ(assigned.data(), units);
  EXPECT_TRUE(target.empty());  // NOLINT(bugprone-use-after-move)
}

TEST(SecretMemoryTest, AdoptingAPlainStringWipesItsStorage) {
  std::string plain = "hunter2";  // short: lives inside the object
  const char* inline_units = plain.data();
  SecretString text(std::move(plain));
  EXPECT_EQ(text.view(), "hunter2");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(inline_units[i], '\0') << i;
}

}  // namespace
}  // namespace quillmar::base
