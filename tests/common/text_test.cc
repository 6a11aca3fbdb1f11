#include "common/text.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quillmar {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string wide;
  friend void PrintTo(const Utf8Case& c, std::ostream* out) { *out << c.name; }
};

class Utf8ToWideTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToWideTest, ConvertsReplacingEachMaximalInvalidSubsequence) {
  EXPECT_EQ(Utf8ToWide(GetParam().utf8).view(), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Utf8ToWideTest,
    ::testing::Values(Utf8Case{"Empty", "", u""}, Utf8Case{"Ascii", "Quillmar", u"Quillmar"},
                      Utf8Case{"EmbeddedZero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                      Utf8Case{"TwoThreeFourBytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91",
                               u"\u00E9\u20AC\U0001F511"},
                      Utf8Case{"LoneFF", "\xFF", u"\uFFFD"},
                      Utf8Case{"LoneContinuation", "a\x80z", u"a\uFFFDz"},
                      Utf8Case{"TruncatedThreeByte", "\xE2\x82z", u"\uFFFDz"},
                      Utf8Case{"TruncatedAtEnd", "a\xF0\x9F\x94", u"a\uFFFD"},
                      Utf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      Utf8Case{"OverlongThreeByte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"AboveMaximum", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"InvalidLeadF5", "\xF5\x80", u"\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WideToUtf8Test, ConvertsPairsAndReplacesUnpairedSurrogates) {
  std::u16string wide = u"\u00E9\U0001F511";
  wide += char16_t{0xD800};
  wide += u'x';
  wide += char16_t{0xDC00};
  EXPECT_EQ(WideToUtf8(wide.data(), static_cast<uint32_t>(wide.size())),
            "\xC3\xA9\xF0\x9F\x94\x91\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(WideToUtf8Test, KeepsEmbeddedZerosButTheCStringFormStopsAtTheFirst) {
  std::u16string wide(u"a\0b", 3);
  EXPECT_EQ(WideToUtf8(wide.data(), 3), std::string("a\0b", 3));
  EXPECT_EQ(WideCStringToUtf8(wide.c_str()), "a");
  EXPECT_EQ(WideToUtf8(Utf8ToWide("")), "");
}

TEST(PlatformErrorMessageTest, UsesRestrictedTextOrTheSystemText) {
  EXPECT_EQ(PlatformErrorMessage(platform::PlatformError(platform::kENotFound)),
            "Element not found.");
  EXPECT_EQ(
      PlatformErrorMessage(platform::PlatformError(platform::kEFail, u"Vault is locked \u00E9")),
      "Vault is locked \xC3\xA9");
  EXPECT_EQ(
      PlatformErrorMessage(platform::PlatformError(static_cast<platform::HResult>(0x80FF1234))),
      "");
}

}  // namespace
}  // namespace quillmar
