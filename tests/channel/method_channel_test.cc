#include "channel/method_channel.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/capture_stderr.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::RecordedAnswer;

// A messenger that keeps what the channel installs and sends.
class RecordingMessenger : public BinaryMessenger {
 public:
  void SendOnChannel(const std::string& channel, const uint8_t* message, size_t size,
                     BinaryReply reply) const override {
    sent.push_back({channel, Bytes(message, message + size), std::move(reply)});
  }
  void SetChannelHandler(const std::string& channel, BinaryMessageHandler handler) override {
    if (handler) {
      handlers[channel] = std::move(handler);
    } else {
      handlers.erase(channel);
    }
  }

  // Delivers `message` on `channel`; gives back the replies sent for it.
  std::vector<Bytes> Deliver(const std::string& channel, const Bytes& message) {
    auto replies = std::make_shared<std::vector<Bytes>>();
    handlers.at(channel)(message.data(), message.size(),
                         [replies](const uint8_t* bytes, size_t size) {
                           replies->emplace_back(bytes, bytes + size);
                         });
    return *replies;
  }

  struct Sent {
    std::string channel;
    Bytes bytes;
    BinaryReply reply;
  };
  mutable std::vector<Sent> sent;
  std::map<std::string, BinaryMessageHandler> handlers;
};

class MethodChannelTest : public ::testing::Test {
 protected:
  RecordingMessenger messenger_;
  MethodChannel channel_{&messenger_, "quillmar_core_windows", &StandardMethodCodec::GetInstance()};
};

TEST_F(MethodChannelTest, DecodedCallReachesTheHandlerAndItsAnswerIsTheReply) {
  std::string seen;
  channel_.SetMethodCallHandler([&](const MethodCall& call, std::unique_ptr<MethodResult> result) {
    seen = call.method_name();
    result->Success(EncodableValue(int32_t{1}));
  });
  Bytes call = {7, 1, 'm', 0};
  EXPECT_EQ(messenger_.Deliver("quillmar_core_windows", call),
            std::vector<Bytes>{Bytes({0, 3, 1, 0, 0, 0})});
  EXPECT_EQ(seen, "m");
}

TEST_F(MethodChannelTest, MessageWithoutACallIsAnsweredNotImplementedAfterReports) {
  bool called = false;
  channel_.SetMethodCallHandler(
      [&](const MethodCall&, std::unique_ptr<MethodResult>) { called = true; });
  CaptureStderr capture;
  EXPECT_EQ(messenger_.Deliver("quillmar_core_windows", {}), std::vector<Bytes>{Bytes()});
  EXPECT_FALSE(called);
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Invalid read in StandardCodecByteStreamReader",
                "Invalid method call; method name is not a string.",
                "Unable to construct method call from message on channel quillmar_core_windows"}));
}

TEST_F(MethodChannelTest, EmptyHandlerRemovesTheChannel) {
  channel_.SetMethodCallHandler([](const MethodCall&, std::unique_ptr<MethodResult>) {});
  channel_.SetMethodCallHandler(nullptr);
  EXPECT_TRUE(messenger_.handlers.empty());
}

TEST_F(MethodChannelTest, CallWithoutAResultSendsWithoutAReplyCallable) {
  channel_.InvokeMethod("storeUpdateProgress", std::make_unique<EncodableValue>(0.5));
  ASSERT_EQ(messenger_.sent.size(), 1u);
  EXPECT_FALSE(messenger_.sent[0].reply);
  auto call = StandardMethodCodec::GetInstance().DecodeCall(messenger_.sent[0].bytes.data(),
                                                            messenger_.sent[0].bytes.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "storeUpdateProgress");
  EXPECT_EQ(*call->arguments(), EncodableValue(0.5));
}

struct ReplyCase {
  const char* name;
  Bytes reply;
  RecordedAnswer::Kind kind;
  bool reports_undecodable;
  friend void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }
};

class OutgoingReplyTest : public MethodChannelTest,
                          public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(OutgoingReplyTest, IsDeliveredToTheResultOnce) {
  auto [log, result] = testing::MakeRecordingResult();
  channel_.InvokeMethod("ping", nullptr, std::move(result));
  ASSERT_EQ(messenger_.sent.size(), 1u);
  CaptureStderr capture;
  const Bytes& reply = GetParam().reply;
  messenger_.sent[0].reply(reply.empty() ? nullptr : reply.data(), reply.size());
  ASSERT_EQ(log->answers().size(), 1u);
  EXPECT_EQ(log->answers()[0].kind, GetParam().kind);
  std::vector<std::string> expected_lines;
  if (GetParam().reports_undecodable) {
    expected_lines.push_back(
        "Unable to decode reply to method invocation on channel quillmar_core_windows");
  }
  EXPECT_EQ(capture.Lines(), expected_lines);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OutgoingReplyTest,
    ::testing::Values(
        ReplyCase{"Empty", {}, RecordedAnswer::Kind::kNotImplemented, false},
        ReplyCase{"Success", {0, 1}, RecordedAnswer::Kind::kSuccess, false},
        ReplyCase{"Error", {1, 7, 1, 'E', 0, 0}, RecordedAnswer::Kind::kError, false},
        ReplyCase{"UnknownEnvelope", {9}, RecordedAnswer::Kind::kNotImplemented, true},
        // A code of the wrong type must not escape into the host's callback.
        ReplyCase{"ErrorCodeNotAString", {1, 1, 0, 0}, RecordedAnswer::Kind::kNotImplemented, true},
        ReplyCase{"ErrorMessageNotAString",
                  {1, 7, 1, 'E', 2, 0},
                  RecordedAnswer::Kind::kNotImplemented,
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmar
