#include <gtest/gtest.h>

#include <string>

#include "channel/encodable_value.h"
#include "platform/platform_string.h"

namespace quillmar {
namespace {

TEST(WipingTest, MovedShortPlatformStringHandsItsUnitsOver) {
  // A short text too: a copy of its units must not stay in the source.
  platform::PlatformString source(u"PIN1234");
  const char16_t* units = source.data();
  platform::PlatformString target(std::move(source));
  EXPECT_EQ(target.view(), u"PIN1234");
  EXPECT_EQ(target.data(), units);
  EXPECT_TRUE(source.empty());  // NOLINT(bugprone-use-after-move)

  platform::PlatformString assigned(u"x");
  assigned = std::move(target);
  EXPECT_EQ(assigned.data(), units);
  EXPECT_TRUE(target.empty());  // NOLINT(bugprone-use-after-move)
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
