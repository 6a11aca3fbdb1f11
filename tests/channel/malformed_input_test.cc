#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "channel/standard_codec.h"
#include "tests/support/capture_stderr.h"
#include "tests/support/nested_counts.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::kNestedCountsSizes;
using testing::NestedCountsCall;
using testing::NestedCountsSizeName;
constexpr char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader";
constexpr char kNotAString[] = "Invalid method call; method name is not a string.";

EncodableValue Decode(const Bytes& bytes) {
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

const StandardMethodCodec& Codec() { return StandardMethodCodec::GetInstance(); }

TEST(MalformedInputTest, EmptyMessageYieldsNoCallAfterBothReports) {
  CaptureStderr capture;
  EXPECT_EQ(Codec().DecodeCall(nullptr, 0), nullptr);
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{kInvalidRead, kNotAString}));
}

TEST(MalformedInputTest, MethodNameThatIsNotAStringYieldsNoCall) {
  CaptureStderr capture;
  Bytes bytes = {3, 1, 0, 0, 0, 0};
  EXPECT_EQ(Codec().DecodeCall(bytes.data(), bytes.size()), nullptr);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kNotAString});
}

TEST(MalformedInputTest, CallWithoutArgumentsHasNullArgumentsAfterAReport) {
  CaptureStderr capture;
  Bytes bytes = {7, 1, 'm'};
  auto call = Codec().DecodeCall(bytes.data(), bytes.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "m");
  EXPECT_TRUE(call->arguments()->IsNull());
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kInvalidRead});
}

TEST(MalformedInputTest, BytesAfterTheArgumentsAreIgnored) {
  Bytes bytes = {7, 1, 'm', 1, 0xFF, 0xFF};
  auto call = Codec().DecodeCall(bytes.data(), bytes.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(*call->arguments(), EncodableValue(true));
}

TEST(MalformedInputTest, TruncatedNumbersReadAsZero) {
  CaptureStderr capture;
  EXPECT_EQ(Decode({3, 1, 2}), EncodableValue(int32_t{0}));
  EXPECT_EQ(Decode({6, 0, 0}), EncodableValue(0.0));
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{kInvalidRead, kInvalidRead}));
}

struct OversizedCase {
  const char* name;
  Bytes bytes;
  EncodableValue expected;
  friend void PrintTo(const OversizedCase& c, std::ostream* out) { *out << c.name; }
};

class OversizedSizeFieldTest : public ::testing::TestWithParam<OversizedCase> {};

// A size field larger than what remains never makes the decoder allocate it:
// the read failure is reported and the value reads as empty.
TEST_P(OversizedSizeFieldTest, ReadsEmptyAndReportsOnce) {
  CaptureStderr capture;
  EXPECT_EQ(Decode(GetParam().bytes), GetParam().expected);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kInvalidRead});
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OversizedSizeFieldTest,
    ::testing::Values(
        OversizedCase{
            "String4GiB", {7, 255, 0xFF, 0xFF, 0xFF, 0xFF}, EncodableValue(std::string())},
        OversizedCase{"StringOneShort", {7, 3, 'a', 'b'}, EncodableValue(std::string())},
        OversizedCase{"ByteList", {8, 254, 0xFF, 0xFF, 1}, EncodableValue(Bytes{})},
        OversizedCase{"Int64List",
                      {10, 255, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0},
                      EncodableValue(std::vector<int64_t>{})},
        OversizedCase{
            "Float32List", {14, 2, 0, 0, 1, 2, 3, 4}, EncodableValue(std::vector<float>{})},
        OversizedCase{"List", {12, 255, 0xFF, 0xFF, 0xFF, 0xFF}, EncodableValue(EncodableList{})},
        OversizedCase{"Map", {13, 2, 0, 0}, EncodableValue(EncodableMap{})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MalformedInputTest, UnknownTypeReadsAsNullAndDecodingGoesOn) {
  CaptureStderr capture;
  Bytes bytes = {12, 2, 15, 1};
  EXPECT_EQ(Decode(bytes), EncodableValue(EncodableList{EncodableValue(), EncodableValue(true)}));
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "Unknown type in StandardCodecSerializer::ReadValueOfType: 15"});
}

TEST(MalformedInputTest, NestingBeyondTheBoundReadsAsNull) {
  // 100000 nested one-element lists would overflow the stack if read recursively.
  Bytes bytes;
  for (int i = 0; i < 100000; ++i) bytes.insert(bytes.end(), {12, 1});
  bytes.push_back(1);
  CaptureStderr capture;
  EncodableValue value = Decode(bytes);
  int depth = 0;
  const EncodableValue* inner = &value;
  while (const auto* list = inner->GetIf<EncodableList>()) {
    ASSERT_EQ(list->size(), 1u);
    inner = &list->front();
    ++depth;
  }
  EXPECT_EQ(depth, StandardCodecSerializer::kMaxNestingDepth);
  EXPECT_TRUE(inner->IsNull());
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "Nesting too deep in StandardCodecSerializer::ReadValueOfType"});
}

struct TruncatedCase {
  const char* name;
  Bytes bytes;
  EncodableValue expected;
  size_t invalid_reads;
  friend void PrintTo(const TruncatedCase& c, std::ostream* out) { *out << c.name; }
};

class TruncatedContainerTest : public ::testing::TestWithParam<TruncatedCase> {};

// A message cut short reads what it holds, then a null and a report for
// each value it still announces.
TEST_P(TruncatedContainerTest, ReadsNullsWithAReportEachForWhatIsMissing) {
  CaptureStderr capture;
  EXPECT_EQ(Decode(GetParam().bytes), GetParam().expected);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>(GetParam().invalid_reads, kInvalidRead));
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, TruncatedContainerTest,
    ::testing::Values(
        TruncatedCase{"ListOfListCutBeforeItsSecondElement",
                      {12, 2, 12, 3, 1, 1, 1},
                      EncodableValue(EncodableList{
                          EncodableValue(EncodableList{EncodableValue(true), EncodableValue(true),
                                                       EncodableValue(true)}),
                          EncodableValue()}),
                      1},
        TruncatedCase{"MapCutAfterItsFirstEntry",
                      {13, 2, 7, 1, 'a', 1},
                      EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(true)},
                                                  {EncodableValue(), EncodableValue()}}),
                      2},
        TruncatedCase{
            "IntegerInMapCutShortLeavesItsBytesToTheNextElement",
            {13, 1, 7, 1, 'k', 12, 3, 3, 1, 0, 0, 0, 3, 2},
            EncodableValue(EncodableMap{
                {EncodableValue("k"), EncodableValue(EncodableList{EncodableValue(int32_t{1}),
                                                                   EncodableValue(int32_t{0}),
                                                                   EncodableValue(false)})}}),
            1},
        TruncatedCase{
            "InnerCountPastTheEndReadsEmpty",
            {12, 2, 12, 2, 1},
            EncodableValue(EncodableList{EncodableValue(EncodableList{}), EncodableValue(true)}),
            1},
        TruncatedCase{
            "NestedListsCutInsideTheInnerOne",
            {12, 3, 12, 2, 3, 1, 0, 0, 0},
            EncodableValue(EncodableList{
                EncodableValue(EncodableList{EncodableValue(int32_t{1}), EncodableValue()}),
                EncodableValue(), EncodableValue()}),
            3}),
    [](const auto& info) { return std::string(info.param.name); });

class NestedCountsTest : public ::testing::TestWithParam<size_t> {};

// Past the end, the values the open lists still owe are known before they
// are read: the message stops at once instead of reporting each of them.
TEST_P(NestedCountsTest, MessageDoesNotDecodeAfterTwoReports) {
  Bytes bytes = NestedCountsCall(GetParam());
  ASSERT_EQ(bytes.size(), GetParam());
  CaptureStderr capture;
  EXPECT_EQ(Codec().DecodeCall(bytes.data(), bytes.size()), nullptr);
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Nesting too deep in StandardCodecSerializer::ReadValueOfType",
                "Message announces more values than it holds in StandardCodecSerializer"}));
}

TEST_P(NestedCountsTest, SerializerReadsAtMostOneValuePerByte) {
  Bytes bytes = NestedCountsCall(GetParam());
  CaptureStderr capture;
  ByteBufferStreamReader reader(bytes.data() + 3, bytes.size() - 3);
  EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  size_t values = 0;
  std::vector<const EncodableValue*> pending = {&value};
  while (!pending.empty()) {
    const EncodableValue* next = pending.back();
    pending.pop_back();
    ++values;
    if (const auto* list = next->GetIf<EncodableList>()) {
      for (const EncodableValue& element : *list) pending.push_back(&element);
    }
  }
  EXPECT_LE(values, bytes.size());
  EXPECT_LE(capture.Lines().size(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Sizes, NestedCountsTest, ::testing::ValuesIn(kNestedCountsSizes),
                         [](const auto& info) { return NestedCountsSizeName(info.param); });

TEST(MalformedInputTest, ValueBeyondTheNestingBoundIsSkippedWhole) {
  // A map whose first value nests 600 lists deep, each holding the next list
  // and an integer, followed by a second entry that must still read.
  EncodableValue deep(int32_t{7});
  for (int i = 0; i < 600; ++i) {
    EncodableList level;
    level.push_back(std::move(deep));
    level.push_back(EncodableValue(1));
    deep = EncodableValue(std::move(level));
  }
  EncodableMap arguments = {{EncodableValue("a"), deep},
                            {EncodableValue("b"), EncodableValue(int32_t{16})}};
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(EncodableValue(arguments), &writer);

  CaptureStderr capture;
  EncodableValue decoded = Decode(bytes);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "Nesting too deep in StandardCodecSerializer::ReadValueOfType"});
  const auto& map = std::get<EncodableMap>(decoded.variant());
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at(EncodableValue("b")), EncodableValue(int32_t{16}));
  // The bound is counted from the map: its value is the first level.
  const EncodableValue* inner = &map.at(EncodableValue("a"));
  int depth = 1;
  while (const auto* list = inner->GetIf<EncodableList>()) {
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ(list->back(), EncodableValue(1));
    inner = &list->front();
    ++depth;
  }
  EXPECT_EQ(depth, StandardCodecSerializer::kMaxNestingDepth);
  EXPECT_TRUE(inner->IsNull());
}

TEST(ResponseTest, SuccessWithNullIsDeliveredWithoutAValue) {
  auto [log, result] = testing::MakeRecordingResult();
  Bytes bytes = {0, 0};
  EXPECT_TRUE(Codec().DecodeResponse(bytes.data(), bytes.size(), result.get()));
  ASSERT_EQ(log->answers().size(), 1u);
  EXPECT_EQ(log->answers()[0].kind, testing::RecordedAnswer::Kind::kSuccess);
  EXPECT_TRUE(log->answers()[0].value.IsNull());
}

TEST(ResponseTest, ErrorEnvelopeRoundTripsWithNullMessageAsEmpty) {
  auto encoded = Codec().EncodeError("CODE", "", nullptr);
  EXPECT_EQ(*encoded, (Bytes{1, 7, 4, 'C', 'O', 'D', 'E', 0, 0}));
  auto [log, result] = testing::MakeRecordingResult();
  EXPECT_TRUE(Codec().DecodeResponse(encoded->data(), encoded->size(), result.get()));
  auto answer = log->answers().at(0);
  EXPECT_EQ(answer.kind, testing::RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "CODE");
  EXPECT_EQ(answer.message, "");
  EXPECT_TRUE(answer.value.IsNull());
}

TEST(ResponseTest, ErrorWhoseCodeIsNotAStringRaisesBadVariantAccess) {
  auto [log, result] = testing::MakeRecordingResult();
  Bytes bytes = {1, 3, 1, 0, 0, 0, 0, 0};
  try {
    Codec().DecodeResponse(bytes.data(), bytes.size(), result.get());
    FAIL() << "no exception";
  } catch (const std::bad_variant_access& error) {
    EXPECT_STREQ(error.what(), "bad variant access");
  }
  EXPECT_TRUE(log->answers().empty());
}

TEST(ResponseTest, UnknownEnvelopeIsNotRecognised) {
  auto [log, result] = testing::MakeRecordingResult();
  Bytes bytes = {2, 0};
  EXPECT_FALSE(Codec().DecodeResponse(bytes.data(), bytes.size(), result.get()));
  EXPECT_TRUE(log->answers().empty());
}

}  // namespace
}  // namespace quillmar
