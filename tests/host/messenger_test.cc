// The stand-in's messenger through the embedding's C API, with a channel
// callback standing in for a plug-in.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/driver/test_driver.h"

namespace quillmar::host {
namespace {

using Bytes = std::vector<uint8_t>;

// What the channel callback saw; written on the platform thread, read by
// the test after a RunSync.
struct Received {
  std::string channel;
  Bytes message;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  std::thread::id thread;
  size_t struct_size = 0;
};

void Receive(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* user_data) {
  auto* received = static_cast<Received*>(user_data);
  received->channel = message->channel;
  received->message.assign(message->message, message->message + message->message_size);
  received->handle = message->response_handle;
  received->thread = std::this_thread::get_id();
  received->struct_size = message->struct_size;
}

class MessengerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine().RunSync([this] {
      platform_thread_ = std::this_thread::get_id();
      FlutterDesktopMessengerSetCallback(messenger(), "test", Receive, &received_);
    });
  }

  HostEngine& engine() { return driver_->engine(); }
  FlutterDesktopMessengerRef messenger() { return engine().messenger(); }

  // Delivers on "test" and waits until the callback has run.
  std::future<std::optional<Bytes>> DeliverAndReceive(Bytes message) {
    std::future<std::optional<Bytes>> reply = driver_->Deliver("test", std::move(message));
    engine().RunSync([] {});
    return reply;
  }

  // Runs `work` on a thread of its own, as a late asynchronous answer does.
  static void OnOtherThread(const std::function<void()>& work) { std::thread(work).join(); }

  std::unique_ptr<TestDriver> driver_ = std::make_unique<TestDriver>();
  Received received_;
  std::thread::id platform_thread_;
};

TEST_F(MessengerTest, MessageReachesTheChannelCallbackOnThePlatformThread) {
  DeliverAndReceive({1, 2, 3});
  EXPECT_EQ(received_.channel, "test");
  EXPECT_EQ(received_.message, (Bytes{1, 2, 3}));
  EXPECT_NE(received_.handle, nullptr);
  EXPECT_EQ(received_.thread, platform_thread_);
  EXPECT_EQ(received_.struct_size, sizeof(FlutterDesktopMessage));
}

TEST_F(MessengerTest, ChannelWithoutCallbackAnswersEmpty) {
  std::future<std::optional<Bytes>> reply = driver_->Deliver("nobody", {7});
  ASSERT_EQ(reply.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(reply.get(), Bytes{});
}

TEST_F(MessengerTest, ReplyFromAnotherThreadUnderTheLockArrivesOnceAndTheSecondIsReported) {
  std::future<std::optional<Bytes>> reply = DeliverAndReceive({1});
  ::testing::internal::CaptureStderr();
  OnOtherThread([&] {
    // The plug-in's pattern: answer while holding the messenger lock.
    FlutterDesktopMessengerLock(messenger());
    ASSERT_TRUE(FlutterDesktopMessengerIsAvailable(messenger()));
    const uint8_t answer[] = {4, 5};
    FlutterDesktopMessengerSendResponse(messenger(), received_.handle, answer, sizeof(answer));
    FlutterDesktopMessengerSendResponse(messenger(), received_.handle, answer, sizeof(answer));
    FlutterDesktopMessengerUnlock(messenger());
  });
  std::string report = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(reply.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(reply.get(), (Bytes{4, 5}));
  EXPECT_EQ(engine().bad_response_count(), 1);
  EXPECT_EQ(report,
            "quillmar-host: FlutterDesktopMessengerSendResponse with an unknown or used response "
            "handle; ignored\n");
}

TEST_F(MessengerTest, UnknownResponseHandleIsReportedAndCounted) {
  ::testing::internal::CaptureStderr();
  const uint8_t answer[] = {1};
  FlutterDesktopMessengerSendResponse(
      messenger(), reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(0xdead), answer, 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("unknown or used response handle"),
            std::string::npos);
  EXPECT_EQ(engine().bad_response_count(), 1);
}

TEST_F(MessengerTest, ShutdownMakesTheMessengerUnavailableAndDropsRepliesStillDue) {
  std::future<std::optional<Bytes>> reply = DeliverAndReceive({1});
  engine().Shutdown();
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger()));
  // The reply's receiver is released unanswered.
  ASSERT_EQ(reply.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(reply.get(), std::nullopt);

  ::testing::internal::CaptureStderr();
  OnOtherThread([&] {
    const uint8_t answer[] = {4};
    FlutterDesktopMessengerSendResponse(messenger(), received_.handle, answer, 1);
  });
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "quillmar-host: FlutterDesktopMessengerSendResponse after the engine shut down; "
            "ignored\n");
  EXPECT_EQ(engine().bad_response_count(), 1);
}

TEST_F(MessengerTest, MessengerReferenceOutlivesTheEngine) {
  FlutterDesktopMessengerRef held = FlutterDesktopMessengerAddRef(messenger());
  EXPECT_EQ(held, messenger());
  driver_.reset();
  // What a reply callable does when its call is answered after the engine
  // has gone: lock, see that it is unavailable, unlock, release.
  EXPECT_EQ(FlutterDesktopMessengerLock(held), held);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(held));
  FlutterDesktopMessengerUnlock(held);
  FlutterDesktopMessengerRelease(held);
}

struct OffThreadCase {
  const char* function;
  std::function<bool(FlutterDesktopMessengerRef)> call;  // true when the call was accepted
};

class OffPlatformThreadTest : public MessengerTest,
                              public ::testing::WithParamInterface<OffThreadCase> {};

TEST_P(OffPlatformThreadTest, CallIsRefusedReportedAndCounted) {
  ::testing::internal::CaptureStderr();
  bool accepted = GetParam().call(messenger());
  std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(accepted);
  EXPECT_EQ(engine().refused_call_count(), 1);
  EXPECT_EQ(report, std::string("quillmar-host: ") + GetParam().function +
                        " called off the platform thread (channel \"test\"); refused\n");
  EXPECT_TRUE(engine().outgoing_messages().empty());
  // The callback installed on the platform thread is still in place.
  DeliverAndReceive({9});
  EXPECT_EQ(received_.message, Bytes{9});
}

void IgnoreReply(const uint8_t*, size_t, void*) {}

INSTANTIATE_TEST_SUITE_P(
    Functions, OffPlatformThreadTest,
    ::testing::Values(OffThreadCase{"FlutterDesktopMessengerSend",
                                    [](FlutterDesktopMessengerRef messenger) {
                                      const uint8_t message[] = {1};
                                      return FlutterDesktopMessengerSend(messenger, "test", message,
                                                                         1);
                                    }},
                      OffThreadCase{"FlutterDesktopMessengerSendWithReply",
                                    [](FlutterDesktopMessengerRef messenger) {
                                      const uint8_t message[] = {1};
                                      return FlutterDesktopMessengerSendWithReply(
                                          messenger, "test", message, 1, IgnoreReply, nullptr);
                                    }},
                      OffThreadCase{"FlutterDesktopMessengerSetCallback",
                                    [](FlutterDesktopMessengerRef messenger) {
                                      FlutterDesktopMessengerSetCallback(messenger, "test", nullptr,
                                                                         nullptr);
                                      return false;
                                    }}),
    [](const ::testing::TestParamInfo<OffThreadCase>& info) {
      return std::string(info.param.function).substr(sizeof("FlutterDesktopMessenger") - 1);
    });

TEST_F(MessengerTest, SendOnThePlatformThreadIsRecordedAndHeardByTheListener) {
  std::vector<OutgoingMessage> heard;  // platform thread only
  engine().SetOutgoingListener([&heard](const OutgoingMessage& message, OutgoingAnswer answer) {
    EXPECT_FALSE(static_cast<bool>(answer));
    heard.push_back(message);
  });
  bool sent = false;
  engine().RunSync([&] {
    const uint8_t message[] = {3, 1};
    sent = FlutterDesktopMessengerSend(messenger(), "out", message, sizeof(message));
  });
  EXPECT_TRUE(sent);
  std::vector<OutgoingMessage> recorded = engine().outgoing_messages();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].channel, "out");
  EXPECT_EQ(recorded[0].bytes, (Bytes{3, 1}));
  EXPECT_EQ(recorded[0].thread, platform_thread_);
  EXPECT_FALSE(recorded[0].with_reply);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].bytes, (Bytes{3, 1}));
}

// The plug-in's reply callback for an outgoing message: records the bytes
// and the thread it ran on.
struct OutgoingReply {
  std::promise<std::pair<Bytes, std::thread::id>> arrived;
};

void ReceiveOutgoingReply(const uint8_t* data, size_t size, void* user_data) {
  Bytes bytes = data == nullptr ? Bytes{} : Bytes(data, data + size);
  static_cast<OutgoingReply*>(user_data)->arrived.set_value({bytes, std::this_thread::get_id()});
}

TEST_F(MessengerTest, SendWithReplyGetsTheListenersAnswerOnThePlatformThread) {
  std::promise<OutgoingAnswer> kept;
  engine().SetOutgoingListener([&kept](const OutgoingMessage& message, OutgoingAnswer answer) {
    EXPECT_TRUE(message.with_reply);
    kept.set_value(std::move(answer));
  });
  OutgoingReply reply;
  engine().RunSync([&] {
    const uint8_t message[] = {1};
    EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(messenger(), "out", message, 1,
                                                     ReceiveOutgoingReply, &reply));
  });
  OutgoingAnswer answer = kept.get_future().get();
  OnOtherThread([&] { answer({8, 8}); });
  auto [bytes, thread] = reply.arrived.get_future().get();
  EXPECT_EQ(bytes, (Bytes{8, 8}));
  EXPECT_EQ(thread, platform_thread_);
}

TEST_F(MessengerTest, SendWithReplyThatNobodyAnswersGetsAnEmptyReply) {
  OutgoingReply reply;
  engine().RunSync([&] {
    const uint8_t message[] = {1};
    EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(messenger(), "out", message, 1,
                                                     ReceiveOutgoingReply, &reply));
  });
  auto [bytes, thread] = reply.arrived.get_future().get();
  EXPECT_EQ(bytes, Bytes{});
  EXPECT_EQ(thread, platform_thread_);
}

// The destruction handler takes no user data, so its record is shared.
struct DestructionRecord {
  int calls = 0;
  FlutterDesktopPluginRegistrarRef registrar = nullptr;
  std::thread::id thread;
};
DestructionRecord destruction_record;

void RecordDestruction(FlutterDesktopPluginRegistrarRef registrar) {
  ++destruction_record.calls;
  destruction_record.registrar = registrar;
  destruction_record.thread = std::this_thread::get_id();
}

TEST_F(MessengerTest, DestructionHandlerRunsOnceOnThePlatformThread) {
  destruction_record = {};
  FlutterDesktopPluginRegistrarRef registrar = engine().registrar();
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar, RecordDestruction);
  engine().DestroyRegistrar();
  engine().DestroyRegistrar();
  driver_.reset();
  EXPECT_EQ(destruction_record.calls, 1);
  EXPECT_EQ(destruction_record.registrar, registrar);
  EXPECT_EQ(destruction_record.thread, platform_thread_);
}

TEST_F(MessengerTest, DestroyingTheEngineDestroysItsRegistrar) {
  destruction_record = {};
  FlutterDesktopPluginRegistrarSetDestructionHandler(engine().registrar(), RecordDestruction);
  driver_.reset();
  EXPECT_EQ(destruction_record.calls, 1);
}

TEST_F(MessengerTest, RegistrarLeadsToTheEnginesMessenger) {
  FlutterDesktopPluginRegistrarRef registrar = engine().registrar();
  EXPECT_EQ(FlutterDesktopPluginRegistrarGetMessenger(registrar), messenger());
  EXPECT_NE(FlutterDesktopRegistrarGetTextureRegistrar(registrar), nullptr);
  EXPECT_NE(FlutterDesktopPluginRegistrarGetView(registrar), nullptr);
}

}  // namespace
}  // namespace quillmar::host
