#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "channel/engine_method_result.h"
#include "tests/support/capture_stderr.h"

namespace quillmar {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr char kDuplicate[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.";

struct SentReplies {
  std::vector<Bytes> replies;
  std::vector<bool> null_pointer;
};

std::unique_ptr<EngineMethodResult> MakeResult(SentReplies* sent) {
  return std::make_unique<EngineMethodResult>(
      [sent](const uint8_t* bytes, size_t size) {
        sent->null_pointer.push_back(bytes == nullptr);
        sent->replies.emplace_back(bytes, bytes + size);
      },
      &StandardMethodCodec::GetInstance());
}

TEST(EngineMethodResultTest, SuccessThenErrorSendsOnlyTheSuccessAndReportsOnce) {
  SentReplies sent;
  CaptureStderr capture;
  auto result = MakeResult(&sent);
  result->Success(EncodableValue(true));
  result->Error("CODE", "message");
  EXPECT_EQ(sent.replies, std::vector<Bytes>{Bytes({0, 1})});
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kDuplicate});
}

TEST(EngineMethodResultTest, NotImplementedSendsAnEmptyReply) {
  SentReplies sent;
  MakeResult(&sent)->NotImplemented();
  EXPECT_EQ(sent.replies, std::vector<Bytes>{Bytes()});
  EXPECT_EQ(sent.null_pointer, std::vector<bool>{true});
}

TEST(EngineMethodResultTest, ErrorCarriesCodeMessageAndDetails) {
  SentReplies sent;
  MakeResult(&sent)->Error("E", "m", EncodableValue(int32_t{2}));
  EXPECT_EQ(sent.replies, std::vector<Bytes>{Bytes({1, 7, 1, 'E', 7, 1, 'm', 3, 2, 0, 0, 0})});
}

TEST(EngineMethodResultTest, UnansweredResultWarnsAndSendsNothing) {
  SentReplies sent;
  CaptureStderr capture;
  MakeResult(&sent).reset();
  EXPECT_TRUE(sent.replies.empty());
  EXPECT_EQ(
      capture.Lines(),
      std::vector<std::string>{"Warning: Failed to respond to a message. This is a memory leak."});
}

}  // namespace
}  // namespace quillmar
