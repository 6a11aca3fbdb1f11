#include "base/utf.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillmar::base {
namespace {

std::optional<std::u16string> StrictUtf16(std::string_view utf8) {
  std::u16string out(MaxUtf16Units(utf8.size()), u'\0');
  std::optional<size_t> written = Utf8ToUtf16(utf8, out.data(), Utf::kStrict);
  if (!written) return std::nullopt;
  out.resize(*written);
  return out;
}

std::optional<std::string> StrictUtf8(std::u16string_view utf16) {
  std::string out(MaxUtf8Bytes(utf16.size()), '\0');
  std::optional<size_t> written = Utf16ToUtf8(utf16, out.data(), Utf::kStrict);
  if (!written) return std::nullopt;
  out.resize(*written);
  return out;
}

struct Utf8Case {
  const char* name;
  std::string utf8;
  friend void PrintTo(const Utf8Case& c, std::ostream* out) { *out << c.name; }
};

class StrictUtf8RefusesTest : public ::testing::TestWithParam<Utf8Case> {};

// Every input the replacing mode would mend is refused whole.
TEST_P(StrictUtf8RefusesTest, WhatTheReplacingModeWouldMend) {
  EXPECT_EQ(StrictUtf16(GetParam().utf8), std::nullopt);
  EXPECT_NE(Utf8ToUtf16(GetParam().utf8).find(u'\uFFFD'), std::u16string::npos);
}

INSTANTIATE_TEST_SUITE_P(Malformed, StrictUtf8RefusesTest,
                         ::testing::Values(Utf8Case{"LoneFF", "\xFF"},
                                           Utf8Case{"LoneContinuation", "a\x80z"},
                                           Utf8Case{"TruncatedThreeByte", "\xE2\x82z"},
                                           Utf8Case{"TruncatedAtEnd", "a\xF0\x9F\x94"},
                                           Utf8Case{"OverlongTwoByte", "\xC0\xAF"},
                                           Utf8Case{"OverlongC1", "\xC1\xBF"},
                                           Utf8Case{"OverlongThreeByte", "\xE0\x80\xAF"},
                                           Utf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF"},
                                           Utf8Case{"EncodedSurrogate", "\xED\xA0\x80"},
                                           Utf8Case{"AboveMaximum", "\xF4\x90\x80\x80"},
                                           Utf8Case{"InvalidLeadF5", "\xF5\x80\x80\x80"},
                                           Utf8Case{"BadLastByteAfterGoodText", "ok \xE2\x82\x41"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StrictUtfTest, AcceptsWellFormedTextAtTheEdgesOfEachLength) {
  std::string edges = std::string("\0", 1) +
                      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
                      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  std::u16string expected =
      std::u16string(u"\0", 1) + u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF";
  EXPECT_EQ(StrictUtf16(edges), expected);
  EXPECT_EQ(StrictUtf8(expected), edges);
  EXPECT_EQ(StrictUtf16(""), u"");
}

TEST(StrictUtfTest, RefusesEachKindOfUnpairedSurrogate) {
  const std::u16string unpaired[] = {
      {char16_t{0xD800}},
      {u'a', char16_t{0xDBFF}, u'b'},
      {char16_t{0xDC00}, char16_t{0xD800}},
      {u'a', char16_t{0xDFFF}},
  };
  for (const std::u16string& text : unpaired) {
    EXPECT_EQ(StrictUtf8(text), std::nullopt);
    EXPECT_NE(Utf16ToUtf8(text).find("\xEF\xBF\xBD"), std::string::npos);
  }
}

}  // namespace
}  // namespace quillmar::base
