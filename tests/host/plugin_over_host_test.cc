// The real plug-in registration driven through the stand-in, and the
// driver's reading of reply envelopes.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/driver/test_driver.h"
#include "plugin/plugin_channel.h"
#include "plugin/registration.h"

namespace quillmar::host {
namespace {

using Bytes = std::vector<uint8_t>;

class PluginOverHostTest : public ::testing::Test {
 protected:
  void SetUp() override { driver_.RegisterPlugin(RegisterWithRegistrar); }

  TestDriver driver_;
};

TEST_F(PluginOverHostTest, IsKeychainSecureAnswersTrueWithoutRefusedCalls) {
  EXPECT_EQ(driver_.CallMethod("isKeychainSecure"), MethodReply::Success(true));
  EXPECT_EQ(driver_.engine().refused_call_count(), 0);
  EXPECT_EQ(driver_.engine().bad_response_count(), 0);
}

TEST_F(PluginOverHostTest, UnknownMethodAnswersWithAnEmptyReply) {
  std::optional<Bytes> reply =
      driver_.DeliverAndWait(EncodeMethodCall("isKeychainSecureX", EncodableValue()));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, Bytes{});
  EXPECT_EQ(driver_.CallMethod("isKeychainSecureX"), MethodReply::NotImplemented());
}

TEST_F(PluginOverHostTest, MessageWithoutACallIsAnsweredNotImplemented) {
  ::testing::internal::CaptureStderr();
  std::optional<Bytes> reply = driver_.DeliverAndWait({});
  std::string report = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, Bytes{});
  EXPECT_NE(report.find("Unable to construct method call from message on channel "
                        "quillmar_core_windows\n"),
            std::string::npos);
}

TEST_F(PluginOverHostTest, CallsOfThePluginReachTheHostOnlyFromThePlatformThread) {
  std::thread::id platform_thread;
  driver_.engine().RunSync([&] {
    platform_thread = std::this_thread::get_id();
    EXPECT_TRUE(SendThroughPluginChannel("storeUpdateProgress", EncodableValue(0.5)));
  });
  ::testing::internal::CaptureStderr();
  SendThroughPluginChannel("storeUpdateProgress", EncodableValue(0.75));
  std::string report = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(driver_.engine().refused_call_count(), 1);
  EXPECT_EQ(report,
            "quillmar-host: FlutterDesktopMessengerSend called off the platform thread (channel "
            "\"quillmar_core_windows\"); refused\n");
  std::vector<OutgoingCall> calls = driver_.OutgoingCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].channel, kPluginChannel);
  EXPECT_TRUE(calls[0].decoded);
  EXPECT_EQ(calls[0].method, "storeUpdateProgress");
  EXPECT_EQ(calls[0].arguments, EncodableValue(0.5));
  EXPECT_FALSE(calls[0].with_reply);
  EXPECT_EQ(calls[0].thread, platform_thread);
}

TEST_F(PluginOverHostTest, DestroyedRegistrarTakesThePluginAndItsChannelAway) {
  size_t registrars = RegistrarCount();
  driver_.engine().DestroyRegistrar();
  EXPECT_EQ(RegistrarCount(), registrars - 1);
  EXPECT_EQ(PluginCountOf(driver_.engine().registrar()), 0u);
  EXPECT_EQ(CurrentPluginChannel(), nullptr);
  // The channel's callback went with it: the host answers empty itself.
  EXPECT_EQ(driver_.CallMethod("isKeychainSecure"), MethodReply::NotImplemented());
  EXPECT_EQ(driver_.engine().refused_call_count(), 0);
}

TEST_F(PluginOverHostTest, SecondRegistrationKeepsOneWrapperAndAnswersThroughTheNewChannel) {
  const MethodChannel* first_channel = CurrentPluginChannel();
  size_t registrars = RegistrarCount();
  driver_.RegisterPlugin(RegisterWithRegistrar);
  EXPECT_EQ(RegistrarCount(), registrars);
  EXPECT_EQ(PluginCountOf(driver_.engine().registrar()), 2u);
  EXPECT_NE(CurrentPluginChannel(), first_channel);
  EXPECT_EQ(driver_.CallMethod("isKeychainSecure"), MethodReply::Success(true));
  driver_.engine().DestroyRegistrar();
  EXPECT_EQ(PluginCountOf(driver_.engine().registrar()), 0u);
  EXPECT_EQ(CurrentPluginChannel(), nullptr);
}

MethodReply Undecodable() {
  MethodReply reply;
  reply.kind = MethodReply::Kind::kUndecodable;
  return reply;
}

struct EnvelopeCase {
  const char* name;
  Bytes bytes;
  MethodReply expected;
};

class DecodeReplyTest : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(DecodeReplyTest, ReadsTheEnvelopeAsTheUiSideDoes) {
  MethodReply reply = DecodeReply(GetParam().bytes);
  EXPECT_EQ(reply, GetParam().expected);
  EXPECT_EQ(Bytes(reply.bytes.begin(), reply.bytes.end()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Envelopes, DecodeReplyTest,
    ::testing::Values(
        EnvelopeCase{"EmptyIsNotImplemented", {}, MethodReply::NotImplemented()},
        EnvelopeCase{"SuccessWithTrue", {0, 1}, MethodReply::Success(true)},
        EnvelopeCase{"SuccessWithNull", {0, 0}, MethodReply::Success()},
        EnvelopeCase{
            "ErrorWithNullMessage", {1, 7, 1, 'E', 0, 0}, MethodReply::Error("E", std::nullopt)},
        EnvelopeCase{"ErrorWithMessageAndDetails",
                     {1, 7, 1, 'E', 7, 1, 'm', 3, 5, 0, 0, 0},
                     MethodReply::Error("E", "m", EncodableValue(int32_t{5}))},
        EnvelopeCase{"ErrorWithNumericCodeIsUndecodable", {1, 3, 1, 0, 0, 0, 0, 0}, Undecodable()},
        EnvelopeCase{"ErrorWithNumericMessageIsUndecodable",
                     {1, 7, 1, 'E', 3, 1, 0, 0, 0, 0},
                     Undecodable()},
        EnvelopeCase{"UnknownEnvelopeIsUndecodable", {2, 0}, Undecodable()}),
    [](const ::testing::TestParamInfo<EnvelopeCase>& info) { return info.param.name; });

TEST(EncodeMethodCallTest, WritesNameThenArguments) {
  EXPECT_EQ(EncodeMethodCall("ab", EncodableValue(true)), (Bytes{7, 2, 'a', 'b', 1}));
}

}  // namespace
}  // namespace quillmar::host
