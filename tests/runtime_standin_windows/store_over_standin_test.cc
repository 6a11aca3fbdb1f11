// "installStoreUpdate" through the host stand-in over the stand-in's
// StoreContext and CoreApplication: the updates listed, the progress sent
// as "storeUpdateProgress" before the answer, each final state, failures
// before and after the answer, the restart, and the application's window
// given to the Store before anything is installed.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/windows_process.h"

namespace quillmar::standin_test {
namespace {

constexpr platform::HResult kAccessDenied = 0x80070005;
constexpr char kAccessDeniedText[] = "0x80070005";
constexpr platform::HResult kInvalidWindowHandle = 0x80070578;

const MethodReply kInstalled = MethodReply::Success(EncodableValue(true));
const MethodReply kNotInstalled = MethodReply::Success(EncodableValue(false));

// What the application sees, in the order it arrives: each
// "storeUpdateProgress" call and the answer.
class ChannelLog {
 public:
  explicit ChannelLog(host::HostEngine& engine) {
    engine.SetOutgoingListener([this](const host::OutgoingMessage& message, host::OutgoingAnswer) {
      host::OutgoingCall call = host::DecodeOutgoing(message);
      std::lock_guard lock(mutex_);
      events_.push_back(call.decoded && call.method == "storeUpdateProgress" && !call.with_reply
                            ? "progress " + Fraction(call.arguments)
                            : "other call " + call.method);
    });
  }

  void Reply(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    events_.push_back("answer");
    answers_.push_back(host::DecodeReply(bytes));
    if (answers_.size() == 1) answered_.set_value();
  }

  bool WaitForAnswer() {
    return answered_future_.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }
  std::vector<std::string> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<MethodReply> answers() {
    std::lock_guard lock(mutex_);
    return answers_;
  }

 private:
  static std::string Fraction(const EncodableValue& value) {
    const double* fraction = value.GetIf<double>();
    if (fraction == nullptr) return "(not a double)";
    char text[32];
    std::snprintf(text, sizeof text, "%g", *fraction);
    return text;
  }

  std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<MethodReply> answers_;
  std::promise<void> answered_;
  std::future<void> answered_future_ = answered_.get_future();
};

class StoreTestBase {
 protected:
  // Delivers the call and waits for the answer, then a moment more for
  // anything that should not come.
  std::vector<std::string> Install(host::HostEngine& engine) {
    log_ = std::make_unique<ChannelLog>(engine);
    ChannelLog* log = log_.get();
    engine.Deliver(host::kPluginChannel, host::EncodeMethodCall("installStoreUpdate", {}),
                   [log](std::vector<uint8_t> bytes) { log->Reply(std::move(bytes)); });
    EXPECT_TRUE(log_->WaitForAnswer()) << "no answer";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return log_->events();
  }
  MethodReply Answer() {
    std::vector<MethodReply> answers = log_->answers();
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? MethodReply() : answers[0];
  }

  std::unique_ptr<ChannelLog> log_;
};

// The application's window, given to the plug-in through the registrar's
// view, as a runner gives it.
template <typename Base>
class WithWindow : public OverStandIn<Base>, public StoreTestBase {
 protected:
  void SetUp() override {
    OverStandIn<Base>::SetUp();
    // A restart that went through would end this process.
    standin::Set("restart.reason", "0");
    this->Host(/*with_view=*/true);
    window_ = this->ViewWindow();
    ASSERT_NE(window_, nullptr);
  }
  HWND window_ = nullptr;
};

// The record's lines with the window's value checked and cut off.
std::vector<std::string> RecordWithoutWindow(std::vector<std::string> record, HWND window) {
  for (std::string& line : record) {
    if (line.rfind("store.initialize window=", 0) != 0) continue;
    EXPECT_EQ(WindowOf(line), reinterpret_cast<uintptr_t>(window)) << line;
    line = "store.initialize";
  }
  return record;
}

class StoreOverStandInTest : public WithWindow<::testing::Test> {};

TEST_F(StoreOverStandInTest, NoPendingUpdateIsAnsweredTrueWithoutInstallOrRestart) {
  EXPECT_EQ(Install(Host().engine()), std::vector<std::string>{"answer"});
  ExpectReply(Answer(), kInstalled);
  EXPECT_EQ(RecordWithoutWindow(standin::Recorded(), window_),
            (std::vector<std::string>{"store.initialize", "store.list"}));
}

// Progress reports reach the application in order and before the answer,
// each the download of all packages (the package's own field differs),
// whether they come the moment the progress handler is attached or later on
// the stand-in's thread, and whether the install completes or is cancelled.
struct ProgressRow {
  const char* name;
  const char* key;
  const char* value;
  const char* state;
  MethodReply reply;
};

void PrintTo(const ProgressRow& row, std::ostream* out) { *out << row.name; }

class StoreProgressTest : public WithWindow<::testing::TestWithParam<ProgressRow>> {};

TEST_P(StoreProgressTest, ProgressArrivesInOrderBeforeTheAnswer) {
  standin::Set(GetParam().key, GetParam().value);
  standin::Set("store.state", GetParam().state);
  standin::Set("store.updates", "2");
  standin::Set("store.progress", "0.25,0.5,0.75,1");
  EXPECT_EQ(Install(Host().engine()),
            (std::vector<std::string>{"progress 0.25", "progress 0.5", "progress 0.75",
                                      "progress 1", "answer"}));
  ExpectReply(Answer(), GetParam().reply);
  std::vector<std::string> expected{"store.initialize", "store.list",
                                    "store.install initialized=1 count=2"};
  if (GetParam().reply == kInstalled) expected.push_back("restart arguments=");
  EXPECT_EQ(RecordWithoutWindow(RecordOnceItHolds(expected.size()), window_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Timing, StoreProgressTest,
    ::testing::Values(ProgressRow{"AtOnce", "store.progress_when", "handler_set", "3", kInstalled},
                      ProgressRow{"Later", "delay_ms", "30", "3", kInstalled},
                      ProgressRow{"CanceledMidway", "store.progress_when", "handler_set", "4",
                                  kNotInstalled}),
    [](const ::testing::TestParamInfo<ProgressRow>& info) { return info.param.name; });

struct FinalStateRow {
  const char* name;
  const char* state;
  MethodReply reply;
};

void PrintTo(const FinalStateRow& row, std::ostream* out) { *out << row.name; }

class FinalStateTest : public WithWindow<::testing::TestWithParam<FinalStateRow>> {};

TEST_P(FinalStateTest, OnlyACompletedInstallIsTrueAndAsksForTheRestart) {
  // Every listed update is handed to the install.
  standin::Set("store.updates", "3");
  standin::Set("store.state", GetParam().state);
  EXPECT_EQ(Install(Host().engine()), std::vector<std::string>{"answer"});
  ExpectReply(Answer(), GetParam().reply);
  std::vector<std::string> expected{"store.initialize", "store.list",
                                    "store.install initialized=1 count=3"};
  if (GetParam().reply == kInstalled) expected.push_back("restart arguments=");
  EXPECT_EQ(RecordWithoutWindow(RecordOnceItHolds(expected.size()), window_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, FinalStateTest,
    ::testing::Values(FinalStateRow{"Pending", "0", kNotInstalled},
                      FinalStateRow{"Downloading", "1", kNotInstalled},
                      FinalStateRow{"Deploying", "2", kNotInstalled},
                      FinalStateRow{"Completed", "3", kInstalled},
                      FinalStateRow{"Canceled", "4", kNotInstalled},
                      FinalStateRow{"OtherError", "5", kNotInstalled},
                      FinalStateRow{"ErrorLowBattery", "6", kNotInstalled},
                      FinalStateRow{"ErrorWiFiRecommended", "7", kNotInstalled},
                      FinalStateRow{"ErrorWiFiRequired", "8", kNotInstalled}),
    [](const ::testing::TestParamInfo<FinalStateRow>& info) { return info.param.name; });

// A failing step before the answer is answered "FAILED" with the platform's
// text, and nothing after it runs.
struct StepRow {
  const char* name;
  const char* step;
  std::vector<std::string> record;  // the window's line cut as above
  std::string message = TextOf(kAccessDenied);
};

void PrintTo(const StepRow& row, std::ostream* out) { *out << row.name; }

class FailureBeforeTheAnswerTest : public WithWindow<::testing::TestWithParam<StepRow>> {};

TEST_P(FailureBeforeTheAnswerTest, IsAnsweredFailedWithThePlatformsText) {
  standin::Set("store.updates", "1");
  standin::Set("store.progress", "0.5");
  standin::Set(GetParam().step, kAccessDeniedText);
  std::vector<std::string> events = Install(Host().engine());
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "answer");
  ExpectReply(Answer(), MethodReply::Error("FAILED", GetParam().message));
  EXPECT_EQ(RecordWithoutWindow(standin::Recorded(), window_), GetParam().record);
}

const std::vector<std::string> kListed{"store.initialize", "store.list"};
const std::vector<std::string> kInstallAsked{"store.initialize", "store.list",
                                             "store.install initialized=1 count=1"};

INSTANTIATE_TEST_SUITE_P(
    EveryStep, FailureBeforeTheAnswerTest,
    ::testing::Values(StepRow{"NoStatics",
                              "fail.store.statics",
                              {},
                              "The Windows Runtime class Windows.Services.Store.StoreContext is "
                              "not available: " +
                                  TextOf(kAccessDenied)},
                      StepRow{"NoDefaultContext", "fail.store.get_default", {}},
                      StepRow{"ListRefused", "fail.store.list", kListed},
                      StepRow{"ListEndsInError", "fail.store.list.operation", kListed},
                      StepRow{"InstallRefused", "fail.store.install", kInstallAsked},
                      StepRow{"InstallEndsInError", "fail.store.install.operation", kInstallAsked},
                      StepRow{"ResultUnreadable", "fail.store.result", kInstallAsked}),
    [](const ::testing::TestParamInfo<StepRow>& info) { return info.param.name; });

// After a completed install the call has its answer: a refused restart
// changes nothing the application sees.
struct RestartRow {
  const char* name;
  const char* script_key;
  const char* script_value;
  bool restart_asked;
};

void PrintTo(const RestartRow& row, std::ostream* out) { *out << row.name; }

class FailureAfterTheAnswerTest : public WithWindow<::testing::TestWithParam<RestartRow>> {};

TEST_P(FailureAfterTheAnswerTest, LeavesTheAnswerTrue) {
  standin::Set("store.updates", "1");
  standin::Set(GetParam().script_key, GetParam().script_value);
  EXPECT_EQ(Install(Host().engine()), std::vector<std::string>{"answer"});
  ExpectReply(Answer(), kInstalled);
  std::vector<std::string> expected = kInstallAsked;
  if (GetParam().restart_asked) expected.push_back("restart arguments=");
  EXPECT_EQ(RecordWithoutWindow(RecordOnceItHolds(expected.size()), window_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    RestartSteps, FailureAfterTheAnswerTest,
    ::testing::Values(RestartRow{"NoStatics", "fail.core.statics", kAccessDeniedText, false},
                      RestartRow{"RestartRefused", "fail.core.restart", kAccessDeniedText, true},
                      RestartRow{"RestartEndsInError", "fail.core.restart.operation",
                                 kAccessDeniedText, true},
                      RestartRow{"NotInForeground", "restart.reason", "1", true}),
    [](const ::testing::TestParamInfo<RestartRow>& info) { return info.param.name; });

// A restart that goes through ends the application's process: the answer
// is out before, the restart operation never completes.
class RestartTest : public OverStandIn<> {};

TEST_F(RestartTest, EndsTheProcessAfterTheAnswerWasSent) {
  standin::Set("store.updates", "1");
  testing::ProgramRun run =
      testing::RunProgram(testing::ThisProgramFolder() + "\\quillmar-host.exe", {"--view", "serve"},
                          "{\"id\": 1, \"method\": \"installStoreUpdate\"}\n");
  EXPECT_EQ(run.exit_code, standin::kRestartExitCode);
  EXPECT_EQ(testing::WithoutCarriageReturns(run.output), "{\"id\": 1, \"success\": true}\n");
  EXPECT_EQ(standin::Recorded().back(), "restart arguments=");
}

// Without the application's window a desktop program's Store refuses to
// install: the library has no way around that and answers the failure.
class StoreWithoutWindowTest : public OverStandIn<>, public StoreTestBase {};

TEST_F(StoreWithoutWindowTest, InstallIsRefusedAndAnsweredFailed) {
  standin::Set("store.updates", "1");
  EXPECT_EQ(Install(Host().engine()), std::vector<std::string>{"answer"});
  ExpectReply(Answer(), MethodReply::Error("FAILED", TextOf(kInvalidWindowHandle)));
  EXPECT_EQ(standin::Recorded(),
            (std::vector<std::string>{"store.list", "store.install initialized=0 count=1"}));
}

}  // namespace
}  // namespace quillmar::standin_test
