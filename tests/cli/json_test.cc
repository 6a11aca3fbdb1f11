// The command-line host's JSON mapping, its hex and its reply lines.
#include "tools/quillmar_host/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tools/quillmar_host/hex.h"
#include "tools/quillmar_host/reply_lines.h"
#include "tools/quillmar_host/session.h"

namespace quillmar::cli {
namespace {

using Bytes = std::vector<uint8_t>;

struct JsonCase {
  const char* name;
  const char* json;
  EncodableValue expected;
};

class JsonParseTest : public ::testing::TestWithParam<JsonCase> {};

// Each text reads as the value and writes back as the same text.
TEST_P(JsonParseTest, ReadsTheValueAndWritesTheSameText) {
  EncodableValue value = ParseJson(GetParam().json);
  EXPECT_EQ(value.index(), GetParam().expected.index());
  EXPECT_EQ(value, GetParam().expected);
  EXPECT_EQ(WriteJson(value), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Values, JsonParseTest,
    ::testing::Values(
        JsonCase{"Null", "null", EncodableValue()}, JsonCase{"True", "true", EncodableValue(true)},
        JsonCase{"SmallIntegerIsInt32", "-7", EncodableValue(int32_t{-7})},
        JsonCase{"Int32Maximum", "2147483647", EncodableValue(int32_t{2147483647})},
        JsonCase{"PastInt32IsInt64", "2147483648", EncodableValue(int64_t{2147483648})},
        JsonCase{"BelowInt32IsInt64", "-2147483649", EncodableValue(int64_t{-2147483649})},
        JsonCase{"Int64Minimum", "-9223372036854775808",
                 EncodableValue(std::numeric_limits<int64_t>::min())},
        JsonCase{"TaggedSmallInt64", "{\"$int64\": 5}", EncodableValue(int64_t{5})},
        JsonCase{"Fraction", "0.1", EncodableValue(0.1)},
        JsonCase{"IntegralDouble", "3.0", EncodableValue(3.0)},
        JsonCase{"NegativeZero", "-0.0", EncodableValue(-0.0)},
        JsonCase{"LargeDouble", "1e+300", EncodableValue(1e300)},
        JsonCase{"TinyDouble", "5e-324", EncodableValue(5e-324)},
        JsonCase{"NaN", "{\"$double\": \"NaN\"}",
                 EncodableValue(std::numeric_limits<double>::quiet_NaN())},
        JsonCase{"NegativeInfinity", "{\"$double\": \"-Infinity\"}",
                 EncodableValue(-std::numeric_limits<double>::infinity())},
        JsonCase{"NonAsciiStaysUtf8", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"",
                 EncodableValue("caf\xC3\xA9 \xF0\x9F\x98\x80")},
        JsonCase{"Escapes", "\"q\\\"b\\\\n\\nt\\tc\\u0001d\\u007f\"",
                 EncodableValue("q\"b\\n\nt\tc\x01"
                                "d\x7f")},
        JsonCase{"EmbeddedZero", "\"a\\u0000b\"", EncodableValue(std::string("a\0b", 3))},
        JsonCase{"Bytes", "{\"$bytes\": \"AAEC/w==\"}", EncodableValue(Bytes{0, 1, 2, 255})},
        JsonCase{"EmptyBytes", "{\"$bytes\": \"\"}", EncodableValue(Bytes{})},
        JsonCase{"Int32List", "{\"$int32list\": [1, -2]}",
                 EncodableValue(std::vector<int32_t>{1, -2})},
        JsonCase{"Int64List", "{\"$int64list\": [1, 9007199254740993]}",
                 EncodableValue(std::vector<int64_t>{1, 9007199254740993})},
        JsonCase{"Float64List", "{\"$float64list\": [0.5, \"Infinity\"]}",
                 EncodableValue(std::vector<double>{0.5, std::numeric_limits<double>::infinity()})},
        JsonCase{"Float32List", "{\"$float32list\": [0.1, 2.0]}",
                 EncodableValue(std::vector<float>{0.1f, 2.0f})},
        JsonCase{"List", "[1, \"a\", [], {}]",
                 EncodableValue(EncodableList{int32_t{1}, "a", EncodableList{}, EncodableMap{}})},
        JsonCase{"MapWithStringKeys", "{\"a\": 1, \"b\": null}",
                 EncodableValue(EncodableMap{{"a", int32_t{1}}, {"b", EncodableValue()}})},
        JsonCase{"MapWithOtherKeys", "{\"$map\": [[1, \"one\"], [\"x\", true]]}",
                 EncodableValue(EncodableMap{{int32_t{1}, "one"}, {"x", true}})},
        JsonCase{"MapThatLooksTagged", "{\"$map\": [[\"$bytes\", 1]]}",
                 EncodableValue(EncodableMap{{"$bytes", int32_t{1}}})}),
    [](const ::testing::TestParamInfo<JsonCase>& info) { return info.param.name; });

class JsonReadTest : public ::testing::TestWithParam<JsonCase> {};

// Texts that read as a value but are not how it is written.
TEST_P(JsonReadTest, ReadsTheValue) {
  EncodableValue value = ParseJson(GetParam().json);
  EXPECT_EQ(value.index(), GetParam().expected.index());
  EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, JsonReadTest,
    ::testing::Values(JsonCase{"BlanksAround", " \n\t[ 1 ,2 ] \r\n",
                               EncodableValue(EncodableList{int32_t{1}, int32_t{2}})},
                      JsonCase{"ExponentWithoutFraction", "1E2", EncodableValue(100.0)},
                      JsonCase{"NegativeZeroInteger", "-0", EncodableValue(int32_t{0})},
                      JsonCase{"SurrogatePairEscape", "\"\\ud83d\\ude00\"",
                               EncodableValue("\xF0\x9F\x98\x80")},
                      JsonCase{"SolidusEscape", "\"a\\/b\"", EncodableValue("a/b")},
                      JsonCase{"TaggedDoubleFromInteger", "{\"$double\": 2}", EncodableValue(2.0)},
                      JsonCase{"TaggedInt64OfLargeNumber", "{\"$int64\": 8589934592}",
                               EncodableValue(int64_t{8589934592})}),
    [](const ::testing::TestParamInfo<JsonCase>& info) { return info.param.name; });

struct BadCase {
  const char* name;
  std::string json;
};

class JsonRejectTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(JsonRejectTest, RefusesTheText) { EXPECT_THROW(ParseJson(GetParam().json), JsonError); }

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonRejectTest,
    ::testing::Values(
        BadCase{"Empty", ""}, BadCase{"TrailingComma", "[1,]"}, BadCase{"TwoValues", "1 2"},
        BadCase{"LeadingZero", "01"}, BadCase{"BareFractionPoint", "1."},
        BadCase{"IntegerPastInt64", "9223372036854775808"},
        BadCase{"IntegerPastUint64", "-18446744073709551617"}, BadCase{"DoubleOverflow", "1e999"},
        BadCase{"RawInvalidUtf8", "\"a\xFF\""}, BadCase{"DuplicateKey", "{\"a\": 1, \"a\": 2}"},
        BadCase{"UnpairedHighSurrogate", "\"\\ud800\""},
        BadCase{"UnpairedLowSurrogate", "\"\\udc00x\""}, BadCase{"RawControlCharacter", "\"a\nb\""},
        BadCase{"UnknownEscape", "\"\\x41\""}, BadCase{"UnterminatedString", "\"abc"},
        BadCase{"UnknownTag", "{\"$nope\": 1}"}, BadCase{"BytesNotBase64", "{\"$bytes\": \"abc\"}"},
        BadCase{"BytesWithMisplacedPadding", "{\"$bytes\": \"A=BC\"}"},
        BadCase{"Int32ListOutOfRange", "{\"$int32list\": [4294967296]}"},
        BadCase{"Int64OfFraction", "{\"$int64\": 1.5}"},
        BadCase{"MapEntryNotAPair", "{\"$map\": [[1]]}"},
        BadCase{"NestedTooDeeply",
                std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']')},
        BadCase{"UnquotedKey", "{a: 1}"}, BadCase{"MisspelledLiteral", "nul"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

struct ReaderErrorCase {
  const char* name;
  std::string json;
  std::string message;
};

class JsonReaderErrorTest : public ::testing::TestWithParam<ReaderErrorCase> {};

// The reader's errors name their kind and byte position, never the text
// read: a refused line may hold a password.
TEST_P(JsonReaderErrorTest, ReportsKindAndPositionWithoutTheText) {
  try {
    ParseJson(GetParam().json);
    ADD_FAILURE() << "accepted";
  } catch (const JsonError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonReaderErrorTest,
    ::testing::Values(
        ReaderErrorCase{"InvalidUtf8InASecret", "{\"p\": \"Sekr3tPart\xFF\"}",
                        "invalid UTF-8 byte at byte 18"},
        ReaderErrorCase{"CutInsideASecret", "{\"p\": \"Sekr3tPart",
                        "unterminated string at byte 18"},
        ReaderErrorCase{"ControlCharacterInASecret", "[\"Sekr3t\tPart\"]",
                        "unescaped control character at byte 9"},
        ReaderErrorCase{"BadEscapeInASecret", "[\"Sekr3t\\qPart\"]", "invalid escape at byte 10"},
        ReaderErrorCase{"UnpairedSurrogate", "\"\\ud800\"", "invalid \\u escape at byte 8"},
        ReaderErrorCase{"TrailingComma", "[1,]", "syntax error at byte 4"},
        ReaderErrorCase{"MisspelledLiteral", "[Sekr3t]", "invalid literal at byte 2"},
        ReaderErrorCase{"DoubleOverflow", "[1e999]", "number out of range at byte 6"}),
    [](const ::testing::TestParamInfo<ReaderErrorCase>& info) { return info.param.name; });

TEST(JsonTest, NestingUpToTheBoundIsRead) {
  std::string json = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  EXPECT_NO_THROW(ParseJson(json));
}

TEST(JsonTest, DoublesWriteBackExactly) {
  const double values[] = {1.0 / 3,
                           -2.5e-310,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::denorm_min(),
                           123456789012345678.0,
                           0.30000000000000004,
                           -1e21};
  for (double value : values) {
    EncodableValue read = ParseJson(WriteJson(EncodableValue(value)));
    ASSERT_TRUE(read.Holds<double>()) << WriteJson(EncodableValue(value)).view();
    double back = *read.GetIf<double>();
    EXPECT_EQ(std::memcmp(&back, &value, sizeof(double)), 0)
        << WriteJson(EncodableValue(value)).view();
  }
}

TEST(JsonTest, InvalidUtf8IsWrittenAsReplacementCharacters) {
  EXPECT_EQ(WriteJson(EncodableValue("a\xFF"
                                     "b\xC3")),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\"");
  EXPECT_EQ(WriteJson(EncodableValue("\xED\xA0\x80")),  // an encoded surrogate
            "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonTest, CustomValuesWriteAsATag) {
  EXPECT_EQ(WriteJson(EncodableValue(CustomEncodableValue(1))), "{\"$custom\": null}");
}

TEST(HexTest, ReadsPairsInEitherCaseAcrossBlanks) {
  EXPECT_EQ(ParseHex("00 fF\n7a"), (base::SecretBytes{0, 255, 0x7a}));
  EXPECT_EQ(ParseHex(""), base::SecretBytes{});
  EXPECT_EQ(ParseHex("abc"), std::nullopt);
  EXPECT_EQ(ParseHex("a bc"), std::nullopt);
  EXPECT_EQ(ParseHex("zz"), std::nullopt);
  EXPECT_EQ(ToHex(Bytes{0, 171, 255}), "00abff");
}

struct LineCase {
  const char* name;
  host::MethodReply reply;
  const char* line;
};

class ReplyLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReplyLineTest, WritesTheReplyAsOneJsonLine) {
  EXPECT_EQ(ReplyLine(GetParam().reply), GetParam().line);
}

host::MethodReply UndecodableReply() {
  host::MethodReply reply;
  reply.kind = host::MethodReply::Kind::kUndecodable;
  reply.bytes = {2, 0};
  return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyLineTest,
    ::testing::Values(
        LineCase{"Success", host::MethodReply::Success(EncodableMap{{"value", "x"}}),
                 "{\"success\": {\"value\": \"x\"}}"},
        LineCase{"ErrorWithNullMessage", host::MethodReply::Error("FAILED", std::nullopt),
                 "{\"error\": {\"code\": \"FAILED\", \"message\": null, \"details\": null}}"},
        LineCase{"ErrorWithDetails",
                 host::MethodReply::Error("E", "bad \"x\"", EncodableValue(int32_t{1})),
                 "{\"error\": {\"code\": \"E\", \"message\": \"bad \\\"x\\\"\", \"details\": 1}}"},
        LineCase{"NotImplemented", host::MethodReply::NotImplemented(),
                 "{\"notImplemented\": true}"},
        LineCase{"Undecodable", UndecodableReply(), "{\"undecodableReply\": \"0200\"}"},
        LineCase{"NoReply", host::MethodReply(), "{\"noReply\": true}"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(ReplyLineIdTest, IdComesFirst) {
  EncodableValue id("call-1");
  EXPECT_EQ(ReplyLine(host::MethodReply::Success(true), &id),
            "{\"id\": \"call-1\", \"success\": true}");
}

TEST(EventLineTest, WritesThePluginsCallAsAnEvent) {
  host::OutgoingMessage message{
      host::kPluginChannel, host::EncodeMethodCall("storeUpdateProgress", 0.25), {}, false};
  EXPECT_EQ(EventLine(message), "{\"event\": \"storeUpdateProgress\", \"arguments\": 0.25}");
}

TEST(ClipboardTimeToLiveTest, ReadsSecondsToLiveWithItsDefault) {
  EXPECT_EQ(ClipboardSecondsToLive(EncodableValue()), 30);
  EXPECT_EQ(ClipboardSecondsToLive(EncodableMap{{"textToCopy", "x"}}), 30);
  EXPECT_EQ(ClipboardSecondsToLive(EncodableMap{{"secondsToLive", int32_t{5}}}), 5);
  EXPECT_EQ(ClipboardSecondsToLive(EncodableMap{{"secondsToLive", int32_t{-1}}}), -1);
  EXPECT_EQ(ClipboardSecondsToLive(EncodableMap{{"secondsToLive", "5"}}), 0);
}

}  // namespace
}  // namespace quillmar::cli
