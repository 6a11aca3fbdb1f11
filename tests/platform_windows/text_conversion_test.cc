// The Windows converter's own contract: exactly sized room, and a text too
// long for its int counts refused rather than cut.
#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

namespace quillmar::platform {
namespace {

TEST(WindowsTextConversionTest, AsksForExactlyTheRoomItFills) {
  std::u16string wide;
  size_t asked = 0;
  size_t units = ConvertUtf8ToUtf16("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91", [&](size_t count) {
    asked = count;
    wide.resize(count);
    return wide.data();
  });
  EXPECT_EQ(asked, 4u);
  EXPECT_EQ(units, 4u);
  EXPECT_EQ(wide, u"\u00E9\u20AC\U0001F511");

  std::string utf8;
  size_t bytes = ConvertUtf16ToUtf8(wide, [&](size_t count) {
    asked = count;
    utf8.resize(count);
    return utf8.data();
  });
  EXPECT_EQ(asked, 9u);
  EXPECT_EQ(bytes, 9u);
  EXPECT_EQ(utf8, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91");
}

// The length is refused before any unit is read, so the views may claim
// more than their storage holds.
TEST(WindowsTextConversionTest, RefusesTextLongerThanTheConverterCounts) {
  const size_t too_long = static_cast<size_t>(INT_MAX) + 1;
  char byte = 'a';
  char16_t unit = u'a';
  bool asked = false;
  auto room8 = [&](size_t) -> char* {
    asked = true;
    return nullptr;
  };
  auto room16 = [&](size_t) -> char16_t* {
    asked = true;
    return nullptr;
  };
  EXPECT_THROW(ConvertUtf8ToUtf16(std::string_view(&byte, too_long), room16), std::length_error);
  EXPECT_THROW(ConvertUtf16ToUtf8(std::u16string_view(&unit, too_long), room8), std::length_error);
  EXPECT_FALSE(asked);
}

}  // namespace
}  // namespace quillmar::platform
