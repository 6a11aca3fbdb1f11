#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "channel/standard_codec.h"
#include "tests/support/capture_stderr.h"

namespace quillmar {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const EncodableValue& value, Bytes prefix = {}) {
  Bytes bytes = std::move(prefix);
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

EncodableValue Decode(const Bytes& bytes, size_t skip = 0) {
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  for (size_t i = 0; i < skip; ++i) reader.GetByte();
  return StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

struct ByteFormCase {
  const char* name;
  EncodableValue value;
  Bytes bytes;
  friend void PrintTo(const ByteFormCase& c, std::ostream* out) { *out << c.name; }
};

class ByteFormTest : public ::testing::TestWithParam<ByteFormCase> {};

TEST_P(ByteFormTest, EncodesToTheWireFormAndDecodesBack) {
  const ByteFormCase& c = GetParam();
  EXPECT_EQ(Encode(c.value), c.bytes);
  EXPECT_EQ(Decode(c.bytes), c.value);
}

Bytes StringForm(size_t size, Bytes size_field) {
  Bytes bytes = {7};
  bytes.insert(bytes.end(), size_field.begin(), size_field.end());
  bytes.insert(bytes.end(), size, 'x');
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ByteFormTest,
    ::testing::Values(
        ByteFormCase{"Null", EncodableValue(), {0}},
        ByteFormCase{"True", EncodableValue(true), {1}},
        ByteFormCase{"False", EncodableValue(false), {2}},
        ByteFormCase{"Int32", EncodableValue(int32_t{1000}), {3, 0xE8, 0x03, 0, 0}},
        ByteFormCase{"NegativeInt32", EncodableValue(int32_t{-1}), {3, 0xFF, 0xFF, 0xFF, 0xFF}},
        ByteFormCase{"Int64", EncodableValue(int64_t{1} << 40), {4, 0, 0, 0, 0, 0, 1, 0, 0}},
        ByteFormCase{"DoublePadsToEight",
                     EncodableValue(1.0),
                     {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        ByteFormCase{"EmptyString", EncodableValue(std::string()), {7, 0}},
        ByteFormCase{
            "Utf8String", EncodableValue(std::string("h\xC3\xA9")), {7, 3, 'h', 0xC3, 0xA9}},
        ByteFormCase{"String253", EncodableValue(std::string(253, 'x')), StringForm(253, {253})},
        ByteFormCase{"String254", EncodableValue(std::string(254, 'x')),
                     StringForm(254, {254, 254, 0})},
        ByteFormCase{"String65535", EncodableValue(std::string(65535, 'x')),
                     StringForm(65535, {254, 0xFF, 0xFF})},
        ByteFormCase{"String65536", EncodableValue(std::string(65536, 'x')),
                     StringForm(65536, {255, 0, 0, 1, 0})},
        ByteFormCase{"ByteList", EncodableValue(Bytes{1, 2, 3}), {8, 3, 1, 2, 3}},
        ByteFormCase{"Int32ListPadsToFour",
                     EncodableValue(std::vector<int32_t>{7}),
                     {9, 1, 0, 0, 7, 0, 0, 0}},
        ByteFormCase{"EmptyInt32ListHasNoPadding", EncodableValue(std::vector<int32_t>{}), {9, 0}},
        ByteFormCase{"Int64List",
                     EncodableValue(std::vector<int64_t>{-2}),
                     {10, 1, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        ByteFormCase{"Float32List",
                     EncodableValue(std::vector<float>{1.0f}),
                     {14, 1, 0, 0, 0, 0, 0x80, 0x3F}},
        ByteFormCase{"List",
                     EncodableValue(EncodableList{EncodableValue(true), EncodableValue()}),
                     {12, 2, 1, 0}},
        ByteFormCase{"MapSortsKeys",
                     EncodableValue(EncodableMap{{EncodableValue("b"), EncodableValue(true)},
                                                 {EncodableValue("a"), EncodableValue(false)}}),
                     {13, 2, 7, 1, 'a', 2, 7, 1, 'b', 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodecTest, DoubleAfterAHeaderByteStartsAtOffsetEight) {
  Bytes bytes = Encode(EncodableValue(2.5), {0});
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_EQ(bytes[1], 6);
  EXPECT_EQ(Bytes(bytes.begin() + 2, bytes.begin() + 8), Bytes(6, 0));
  EXPECT_EQ(Decode(bytes, 1), EncodableValue(2.5));
}

TEST(CodecTest, ReaderPadsBeforeAnEmptyTypedListThatTheWriterDidNotPad) {
  // 09 00 written at offset 1, then a true: the reader skips to offset 4 first.
  Bytes bytes = {0xAA, 9, 0, 0xBB, 1};
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  reader.GetByte();
  const auto& serializer = StandardCodecSerializer::GetInstance();
  EXPECT_EQ(serializer.ReadValue(&reader), EncodableValue(std::vector<int32_t>{}));
  EXPECT_EQ(serializer.ReadValue(&reader), EncodableValue(true));
}

TEST(CodecTest, LargeIntTypeReadsAsDecimalText) {
  EXPECT_EQ(Decode({5, 3, '1', '2', '3'}), EncodableValue(std::string("123")));
}

TEST(CodecTest, NestedValuesRoundTrip) {
  EncodableValue value(
      EncodableMap{{EncodableValue("list"),
                    EncodableValue(EncodableList{EncodableValue(int64_t{5}), EncodableValue(3.25),
                                                 EncodableValue(std::vector<double>{1.5, -2})})},
                   {EncodableValue(int32_t{7}), EncodableValue(EncodableMap{})},
                   {EncodableValue(), EncodableValue(Bytes{})}});
  EXPECT_EQ(Decode(Encode(value)), value);
}

TEST(CodecTest, DecodingKeepsTheFirstEntryOfARepeatedKey) {
  Bytes bytes = {13, 2, 7, 1, 'k', 1, 7, 1, 'k', 2};
  EXPECT_EQ(Decode(bytes),
            EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(true)}}));
}

TEST(CodecTest, CustomValueWritesNullAndReports) {
  CaptureStderr capture;
  Bytes bytes = Encode(EncodableValue(CustomEncodableValue(42)));
  EXPECT_EQ(bytes, Bytes{0});
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "Unhandled custom type in StandardCodecSerializer::WriteValue. "
                                 "Custom types require codec extensions."});
}

TEST(OrderingTest, ValuesOrderByAlternativeThenWithinIt) {
  std::vector<EncodableValue> ascending = {EncodableValue(),
                                           EncodableValue(false),
                                           EncodableValue(true),
                                           EncodableValue(int32_t{-5}),
                                           EncodableValue(int32_t{3}),
                                           EncodableValue(int64_t{-9}),
                                           EncodableValue(-1.0),
                                           EncodableValue(std::string("")),
                                           EncodableValue(std::string("a")),
                                           EncodableValue(std::string("ab")),
                                           EncodableValue(std::string("\xFF")),
                                           EncodableValue(Bytes{0x80}),
                                           EncodableValue(EncodableList{EncodableValue(false)}),
                                           EncodableValue(EncodableList{EncodableValue(true)})};
  for (size_t i = 0; i + 1 < ascending.size(); ++i) {
    EXPECT_TRUE(ascending[i] < ascending[i + 1]) << i;
    EXPECT_FALSE(ascending[i + 1] < ascending[i]) << i;
  }
}

TEST(OrderingTest, NanSortsAfterEveryOtherDoubleAndKeepsMapsConsistent) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(EncodableValue(inf) < EncodableValue(nan));
  EXPECT_FALSE(EncodableValue(nan) < EncodableValue(inf));
  EXPECT_FALSE(EncodableValue(nan) < EncodableValue(nan));
  EncodableMap map;
  map.emplace(EncodableValue(nan), EncodableValue(1));
  map.emplace(EncodableValue(1.0), EncodableValue(2));
  map.emplace(EncodableValue(-nan), EncodableValue(3));
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at(EncodableValue(nan)), EncodableValue(1));
}

}  // namespace
}  // namespace quillmar
