// The asynchronous item methods driven through the host stand-in: the task
// resumes in the platform thread's context, so the answer leaves from there
// although the verifier completes on a thread of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "common/arguments.h"
#include "common/registration_state.h"
#include "common/text.h"
#include "host/driver/test_driver.h"
#include "plugin/registration.h"
#include "tests/storage/store_fixture.h"

namespace quillmar::storage_test {
namespace {

using Timing = FakeUserConsentVerifier::Timing;

struct HostReply {
  std::vector<uint8_t> bytes;
  bool on_platform_thread = false;
};

struct OverHostRow {
  const char* method;
  EncodableValue arguments;
  EncodableValue answer;
};

class OverHostTest : public ::testing::TestWithParam<OverHostRow> {
 protected:
  FakeVault vault_;
  FakeUserConsentVerifier verifier_;

 private:
  platform::ScopedOverride<platform::PasswordVault> vault_override_{&vault_};
  platform::ScopedOverride<platform::UserConsentVerifier> verifier_override_{&verifier_};
};

TEST_P(OverHostTest, AnswerLeavesFromThePlatformThread) {
  vault_.Put(kResourceName, Utf8ToWide("k"), Utf8ToWide("secret"));
  verifier_.set_timing(Timing::kWhenReleased);
  host::TestDriver driver;
  driver.RegisterPlugin(RegisterWithRegistrar);
  std::promise<HostReply> replied;
  std::future<HostReply> reply = replied.get_future();
  host::HostEngine& engine = driver.engine();

  engine.Deliver(host::kPluginChannel,
                 host::EncodeMethodCall(GetParam().method, GetParam().arguments),
                 [&](std::vector<uint8_t> bytes) {
                   replied.set_value({std::move(bytes), engine.IsPlatformThread()});
                 });
  for (int i = 0; i < 1000 && verifier_.completion_threads().empty(); ++i) {
    verifier_.ReleaseHeld();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }

  ASSERT_EQ(reply.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  HostReply answer = reply.get();
  EXPECT_TRUE(answer.on_platform_thread);
  EXPECT_EQ(host::DecodeReply(answer.bytes), host::MethodReply::Success(GetParam().answer));
  EXPECT_EQ(engine.refused_call_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    BothAsynchronousMethods, OverHostTest,
    ::testing::Values(
        OverHostRow{"getBiometricSecureItem",
                    testing::MapArgs({{"itemKey", "k"}, {"biometricPrompt", "Unlock"}}),
                    EncodableValue(MakeReplyMap(
                        {{"status", "ok"}, {"error", EncodableValue()}, {"itemValue", "secret"}}))},
        OverHostRow{"getBiometryAvailability", EncodableValue(),
                    EncodableValue("available_and_enrolled")}),
    [](const auto& info) { return std::string(info.param.method); });

}  // namespace
}  // namespace quillmar::storage_test
