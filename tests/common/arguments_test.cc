#include "common/arguments.h"

#include <gtest/gtest.h>

#include <ostream>

#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using testing::MapArgs;

TEST(ArgumentsTest, MissingKeyOrNonMapArgumentsReadAsTheDefault) {
  EncodableValue list(EncodableList{EncodableValue("key")});
  EncodableValue text("key");
  EncodableValue map = MapArgs({{"other", "x"}});
  const EncodableValue* cases[] = {nullptr, &list, &text, &map};
  for (const EncodableValue* arguments : cases) {
    EXPECT_EQ(ReadStringArgument("key", arguments, "fallback"), "fallback");
    EXPECT_EQ(ReadIntArgument("key", arguments, 30), 30);
  }
}

TEST(ArgumentsTest, PresentKeysReadTheirValues) {
  EncodableValue arguments = MapArgs({{"text", "h\xC3\xA9"}, {"count", int32_t{-4}}});
  EXPECT_EQ(ReadStringArgument("text", &arguments), "h\xC3\xA9");
  EXPECT_EQ(ReadIntArgument("count", &arguments, 0), -4);
}

TEST(ArgumentsTest, KeyStoredAsAnotherTypeDoesNotMatch) {
  EncodableMap map{{EncodableValue(int32_t{1}), EncodableValue("x")}};
  EncodableValue arguments(map);
  EXPECT_EQ(ReadStringArgument("1", &arguments, "d"), "d");
}

struct MismatchCase {
  const char* name;
  EncodableValue value;
  bool read_as_int;
  friend void PrintTo(const MismatchCase& c, std::ostream* out) { *out << c.name; }
};

class MismatchTest : public ::testing::TestWithParam<MismatchCase> {};

TEST_P(MismatchTest, ThrowsBadVariantAccess) {
  EncodableValue arguments = MapArgs({{"k", GetParam().value}});
  try {
    if (GetParam().read_as_int) {
      ReadIntArgument("k", &arguments, 0);
    } else {
      ReadStringArgument("k", &arguments);
    }
    FAIL() << "no exception";
  } catch (const std::bad_variant_access& error) {
    EXPECT_STREQ(error.what(), "bad variant access");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, MismatchTest,
    ::testing::Values(MismatchCase{"NullForString", EncodableValue(), false},
                      MismatchCase{"NumberForString", EncodableValue(int32_t{1}), false},
                      MismatchCase{"NullForInt", EncodableValue(), true},
                      MismatchCase{"Int64ForInt", EncodableValue(int64_t{1} << 33), true},
                      MismatchCase{"DoubleForInt", EncodableValue(1.0), true},
                      MismatchCase{"StringForInt", EncodableValue("30"), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyMapTest, FirstPairOfARepeatedKeyWins) {
  EncodableMap map = MakeReplyMap({{"a", 1}, {"b", "x"}, {"a", 2}});
  EXPECT_EQ(map, (EncodableMap{{EncodableValue("a"), EncodableValue(1)},
                               {EncodableValue("b"), EncodableValue("x")}}));
}

}  // namespace
}  // namespace quillmar
