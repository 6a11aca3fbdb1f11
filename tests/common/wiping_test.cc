#include <gtest/gtest.h>

#include <string>

#include "channel/encodable_value.h"
#include "platform/platform_string.h"

namespace quillmar {
namespace {

TEST(WipingTest, MovedFromShortPlatformStringKeepsNoUnits) {
  // Seven units live inside the object; a move copies them out.
  platform::PlatformString source(u"PIN1234");
  const char16_t* inline_units = source.data();
  platform::PlatformString target(std::move(source));
  EXPECT_EQ(target.view(), u"PIN1234");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(inline_units[i], 0) << i;

  platform::PlatformString assigned(u"x");
  const char16_t* assigned_units = target.data();
  assigned = std::move(target);
  EXPECT_EQ(assigned.view(), u"PIN1234");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(assigned_units[i], 0) << i;
}

TEST(WipingTest, WipingAValueZeroesTextsAndBytesButKeepsMapKeys) {
  EncodableValue value(
      EncodableMap{{EncodableValue("itemValue"), EncodableValue("hunter2")},
                   {EncodableValue("nested"),
                    EncodableValue(EncodableList{EncodableValue(std::vector<uint8_t>{1, 2}),
                                                 EncodableValue(7)})}});
  WipeEncodableValue(&value);
  const auto& map = GetAlternative<EncodableMap>(value);
  EXPECT_EQ(GetAlternative<std::string>(map.at(EncodableValue("itemValue"))), std::string(7, '\0'));
  const auto& list = GetAlternative<EncodableList>(map.at(EncodableValue("nested")));
  EXPECT_EQ(list[0], EncodableValue(std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(list[1], EncodableValue(7));
}

}  // namespace
}  // namespace quillmar
