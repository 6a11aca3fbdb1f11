// Messages that announce more than they hold, values nested past the bound
// and memory exhausted while decoding, delivered through the host to the
// registered plug-in.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "channel/standard_codec.h"
#include "host/driver/test_driver.h"
#include "plugin/registration.h"
#include "tests/host/allocation_hooks.h"
#include "tests/support/capture_stderr.h"
#include "tests/support/nested_counts.h"

namespace quillmar::host {
namespace {

using Bytes = std::vector<uint8_t>;
using quillmar::testing::CaptureStderr;
using quillmar::testing::kNestedCountsSizes;
using quillmar::testing::NestedCountsCall;
using quillmar::testing::NestedCountsSizeName;

class DecodingOverHostTest : public ::testing::Test {
 protected:
  void SetUp() override { driver_.RegisterPlugin(RegisterWithRegistrar); }

  TestDriver driver_;
};

class NestedCountsOverHostTest : public DecodingOverHostTest,
                                 public ::testing::WithParamInterface<size_t> {};

TEST_P(NestedCountsOverHostTest, AnsweredNotImplementedInMemoryLinearInTheMessage) {
  Bytes message = NestedCountsCall(GetParam());
  driver_.engine().RunSync([] { quillmar::testing::StartCountingAllocations(); });
  CaptureStderr capture;
  std::optional<Bytes> reply = driver_.DeliverAndWait(message);
  size_t allocated = 0;
  driver_.engine().RunSync([&] { allocated = quillmar::testing::CountedAllocations(); });

  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, Bytes{});
  // Each value held takes a few dozen bytes; the message held 500 per byte.
  EXPECT_LE(allocated, 64 * message.size());
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Nesting too deep in StandardCodecSerializer::ReadValueOfType",
                "Message announces more values than it holds in StandardCodecSerializer",
                "Unable to construct method call from message on channel quillmar_core_windows"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, NestedCountsOverHostTest, ::testing::ValuesIn(kNestedCountsSizes),
                         [](const auto& info) { return NestedCountsSizeName(info.param); });

EncodableMap DerivationArguments() {
  return {{EncodableValue("password"), EncodableValue("pw")},
          {EncodableValue("saltBase64"), EncodableValue("c2FsdA==")},
          {EncodableValue("iterationCount"), EncodableValue(int32_t{1})},
          {EncodableValue("outputByteLength"), EncodableValue(int32_t{16})}};
}

TEST_F(DecodingOverHostTest, ArgumentNestedPastTheBoundLeavesLaterArgumentsAsSent) {
  // Each level holds the next one and an integer; the map's key "a" sorts
  // before every argument the handler reads.
  EncodableValue deep(int32_t{64});
  for (int i = 0; i < StandardCodecSerializer::kMaxNestingDepth; ++i) {
    EncodableList level;
    level.push_back(std::move(deep));
    level.push_back(EncodableValue(int32_t{64}));
    deep = EncodableValue(std::move(level));
  }
  EncodableMap arguments = DerivationArguments();
  arguments.emplace(EncodableValue("a"), std::move(deep));

  CaptureStderr capture;
  MethodReply reply = driver_.CallMethod("deriveBitsFromPassword", EncodableValue(arguments));
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "Nesting too deep in StandardCodecSerializer::ReadValueOfType"});
  MethodReply expected =
      driver_.CallMethod("deriveBitsFromPassword", EncodableValue(DerivationArguments()));
  ASSERT_EQ(expected.kind, MethodReply::Kind::kSuccess);
  // 16 bytes in base64.
  const auto& reply_map = std::get<EncodableMap>(expected.value.variant());
  EXPECT_EQ(std::get<std::string>(reply_map.at(EncodableValue("derivedBits")).variant()).size(),
            24u);
  EXPECT_EQ(reply, expected);
}

TEST_F(DecodingOverHostTest, MemoryExhaustedWhileDecodingIsAnsweredNotImplemented) {
  constexpr size_t kTextSize = 4 * 1024 * 1024;
  EncodableMap arguments = DerivationArguments();
  arguments[EncodableValue("password")] = EncodableValue(std::string(kTextSize, 'p'));
  Bytes message = EncodeMethodCall("deriveBitsFromPassword", EncodableValue(arguments));
  driver_.engine().RunSync([] { quillmar::testing::FailAllocationsFrom(kTextSize); });

  CaptureStderr capture;
  std::optional<Bytes> reply = driver_.DeliverAndWait(message);
  driver_.engine().RunSync([] { quillmar::testing::FailAllocationsFrom(0); });

  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, Bytes{});
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Out of memory decoding a message on channel quillmar_core_windows",
                "Unable to construct method call from message on channel quillmar_core_windows"}));
  // The plug-in goes on answering.
  EXPECT_EQ(driver_.CallMethod("isKeychainSecure"), MethodReply::Success(true));
}

}  // namespace
}  // namespace quillmar::host
