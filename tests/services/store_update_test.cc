#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "common/registration_state.h"
#include "host/driver/test_driver.h"
#include "platform/fake/fake_store.h"
#include "platform/service_registry.h"
#include "plugin/registration.h"
#include "services/handlers.h"
#include "tests/support/recording_result.h"
#include "tests/support/system_text.h"

namespace quillmar {
namespace platform {

void PrintTo(StorePackageUpdateState state, std::ostream* out) {
  *out << "state " << static_cast<int>(state);
}

namespace fake {

void PrintTo(StoreScript::Restart restart, std::ostream* out) {
  *out << "restart outcome " << static_cast<int>(restart);
}

}  // namespace fake
}  // namespace platform

namespace {

using host::MethodReply;
using platform::PlatformError;
using platform::PlatformString;
using platform::StorePackageUpdateState;
using platform::fake::FakeStoreUpdates;
using platform::fake::StoreScript;
using testing::RecordedAnswer;

constexpr char kProgress[] = "storeUpdateProgress";

StoreScript CompletedUpdate(std::vector<double> progress = {}) {
  StoreScript script;
  script.update_count = 2;
  script.total_progress = std::move(progress);
  return script;
}

PlatformError Refused(const char16_t* message) {
  return PlatformError(static_cast<platform::HResult>(0x80072EE7), PlatformString(message));
}

// "installStoreUpdate" through the host stand-in: the call is delivered and
// answered on its platform thread, which also takes the progress calls.
class StoreUpdateTest : public ::testing::Test {
 protected:
  // The task may still be running on the platform thread after its reply.
  void TearDown() override {
    driver_.engine().RunSync([] {});
  }

  MethodReply Install(StoreScript script) {
    store_ = std::make_unique<FakeStoreUpdates>(std::move(script));
    override_.emplace(store_.get());
    driver_.RegisterPlugin(RegisterWithRegistrar);
    return driver_.CallMethod("installStoreUpdate", EncodableValue());
  }

  std::thread::id PlatformThread() {
    std::thread::id id;
    driver_.engine().RunSync([&] { id = std::this_thread::get_id(); });
    return id;
  }

  // The progress fractions sent, after checking that each went as a call
  // without a reply on the platform thread.
  std::vector<double> SentProgress() {
    std::thread::id platform_thread = PlatformThread();
    std::vector<double> fractions;
    for (const host::OutgoingCall& call : driver_.OutgoingCalls()) {
      EXPECT_EQ(call.method, kProgress);
      EXPECT_EQ(call.thread, platform_thread);
      EXPECT_FALSE(call.with_reply);
      const double* fraction = call.arguments.GetIf<double>();
      EXPECT_NE(fraction, nullptr);
      if (fraction != nullptr) fractions.push_back(*fraction);
    }
    EXPECT_EQ(driver_.engine().refused_call_count(), 0);
    return fractions;
  }

  host::TestDriver driver_;
  std::unique_ptr<FakeStoreUpdates> store_;
  std::optional<platform::ScopedOverride<platform::StoreUpdates>> override_;
};

TEST_F(StoreUpdateTest, NoUpdateAnswersTrueWithoutInstallProgressOrRestart) {
  StoreScript script;
  script.update_count = 0;
  EXPECT_EQ(Install(script), MethodReply::Success(EncodableValue(true)));
  EXPECT_EQ(store_->listing_requests(), 1u);
  EXPECT_TRUE(store_->install_requests().empty());
  EXPECT_TRUE(SentProgress().empty());
  EXPECT_TRUE(store_->restart_requests().empty());
}

TEST_F(StoreUpdateTest, CompletedUpdateSendsTotalProgressInOrderThenAnswersTrueAndRestarts) {
  EXPECT_EQ(Install(CompletedUpdate({0.0, 0.25, 0.5, 1.0})),
            MethodReply::Success(EncodableValue(true)));
  EXPECT_EQ(
      store_->install_requests(),
      (std::vector<std::vector<std::u16string>>{{u"Quillmar.PackageA", u"Quillmar.PackageB"}}));
  EXPECT_EQ(SentProgress(), (std::vector<double>{0.0, 0.25, 0.5, 1.0}));
  EXPECT_EQ(store_->restart_requests(), std::vector<std::u16string>{u""});
}

TEST_F(StoreUpdateTest, ManyReportsFromAPoolThreadArriveInOrderOnThePlatformThread) {
  std::vector<double> progress;
  for (int i = 0; i <= 200; ++i) progress.push_back(i / 200.0);
  StoreScript script = CompletedUpdate(progress);
  script.listing_ends_later = true;
  EXPECT_EQ(Install(script), MethodReply::Success(EncodableValue(true)));
  EXPECT_EQ(SentProgress(), progress);
}

TEST_F(StoreUpdateTest, NothingIsSentOnceTheRegistrarIsDestroyed) {
  StoreScript script = CompletedUpdate({0.1, 0.5, 0.9});
  script.before_report = [this](size_t report) {
    if (report == 1) driver_.engine().DestroyRegistrar();
  };
  EXPECT_EQ(Install(script), MethodReply::Success(EncodableValue(true)));
  EXPECT_EQ(SentProgress(), std::vector<double>{0.1});
}

class StoreFinalStateTest : public StoreUpdateTest,
                            public ::testing::WithParamInterface<StorePackageUpdateState> {};

TEST_P(StoreFinalStateTest, AnyStateButCompletedAnswersFalseWithoutRestart) {
  StoreScript script = CompletedUpdate({0.5});
  script.final_state = GetParam();
  EXPECT_EQ(Install(script), MethodReply::Success(EncodableValue(false)));
  EXPECT_EQ(SentProgress(), std::vector<double>{0.5});
  EXPECT_TRUE(store_->restart_requests().empty());
}

INSTANTIATE_TEST_SUITE_P(States, StoreFinalStateTest,
                         ::testing::Values(StorePackageUpdateState::kPending,
                                           StorePackageUpdateState::kDownloading,
                                           StorePackageUpdateState::kDeploying,
                                           StorePackageUpdateState::kCanceled,
                                           StorePackageUpdateState::kOtherError,
                                           StorePackageUpdateState::kErrorLowBattery,
                                           StorePackageUpdateState::kErrorWiFiRecommended,
                                           StorePackageUpdateState::kErrorWiFiRequired));

struct StoreFailure {
  const char* name;
  std::function<void(StoreScript&)> arrange;
  std::string message;
  friend void PrintTo(const StoreFailure& c, std::ostream* out) { *out << c.name; }
};

class StoreFailureTest : public StoreUpdateTest,
                         public ::testing::WithParamInterface<StoreFailure> {};

TEST_P(StoreFailureTest, PlatformErrorBeforeTheReplyAnswersFailedWithItsMessage) {
  StoreScript script = CompletedUpdate();
  GetParam().arrange(script);
  EXPECT_EQ(Install(script), MethodReply::Error("FAILED", GetParam().message));
  EXPECT_TRUE(store_->restart_requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StoreFailureTest,
    ::testing::Values(
        StoreFailure{"GetDefault",
                     [](StoreScript& s) { s.get_default_error = Refused(u"No store context"); },
                     "No store context"},
        StoreFailure{"Listing",
                     [](StoreScript& s) { s.listing_error = Refused(u"Store unreachable"); },
                     "Store unreachable"},
        StoreFailure{"ListingLater",
                     [](StoreScript& s) {
                       s.listing_error = Refused(u"Store unreachable later");
                       s.listing_ends_later = true;
                     },
                     "Store unreachable later"},
        StoreFailure{
            "InstallRequest",
            [](StoreScript& s) {
              s.install_request_error = PlatformError(platform::kEAccessDenied);
            },
            ::quillmar::testing::SystemText(platform::kEAccessDenied, "Access is denied.")},
        StoreFailure{"Install",
                     [](StoreScript& s) { s.install_error = Refused(u"Download broke off"); },
                     "Download broke off"},
        StoreFailure{"InstallOperationCanceled", [](StoreScript& s) { s.install_canceled = true; },
                     ::quillmar::testing::SystemText(platform::kECanceled,
                                                     "The operation was canceled by the user.")}),
    [](const ::testing::TestParamInfo<StoreFailure>& info) { return info.param.name; });

// Registration records the application's window from the host's view; the
// Store context is tied to it before anything is listed or installed.
class StoreWindowTest : public StoreUpdateTest {
 protected:
  void TearDown() override {
    RemoveRegistration(this);
    StoreUpdateTest::TearDown();
  }

  MethodReply InstallWithWindow(StoreScript script, void* window) {
    store_ = std::make_unique<FakeStoreUpdates>(std::move(script));
    override_.emplace(store_.get());
    driver_.RegisterPlugin(RegisterWithRegistrar);
    AddRegistration(this, window, nullptr);
    return driver_.CallMethod("installStoreUpdate", EncodableValue());
  }

  int stand_in_ = 0;
  void* window_ = &stand_in_;
};

TEST_F(StoreWindowTest, ContextIsInitialisedWithTheWindowBeforeItInstalls) {
  EXPECT_EQ(InstallWithWindow(CompletedUpdate({0.5}), window_),
            MethodReply::Success(EncodableValue(true)));
  EXPECT_EQ(store_->initialized_windows(), std::vector<void*>{window_});
  EXPECT_EQ(store_->install_windows(), std::vector<void*>{window_});
}

TEST_F(StoreWindowTest, WithoutAWindowTheContextIsUsedAsItIs) {
  EXPECT_EQ(InstallWithWindow(CompletedUpdate({0.5}), nullptr),
            MethodReply::Success(EncodableValue(true)));
  EXPECT_TRUE(store_->initialized_windows().empty());
  EXPECT_EQ(store_->install_windows(), std::vector<void*>{nullptr});
}

TEST_F(StoreWindowTest, RefusedWindowAnswersFailedBeforeAnythingIsListed) {
  StoreScript script = CompletedUpdate();
  script.initialize_error = Refused(u"Invalid window handle.");
  EXPECT_EQ(InstallWithWindow(script, window_),
            MethodReply::Error("FAILED", "Invalid window handle."));
  EXPECT_EQ(store_->listing_requests(), 0u);
  EXPECT_TRUE(store_->install_requests().empty());
}

#if !defined(_WIN32)
TEST_F(StoreUpdateTest, LinuxHasNoStoreToList) {
  driver_.RegisterPlugin(RegisterWithRegistrar);
  EXPECT_EQ(driver_.CallMethod("installStoreUpdate"),
            MethodReply::Error("FAILED",
                               "No Store is available on this system, so there are no Store "
                               "updates to install."));
}
#endif  // !_WIN32

TEST(StoreUnexpectedFailureTest, IsAnsweredAsTheDispatcherAnswersEscapingFailures) {
  struct BrokenStore : FakeStoreUpdates {
    BrokenStore() : FakeStoreUpdates(StoreScript()) {}
    std::shared_ptr<platform::StoreContext> GetDefault() override {
      throw std::runtime_error("store broke");
    }
  } store;
  platform::ScopedOverride<platform::StoreUpdates> use(&store);
  auto [log, result] = testing::MakeRecordingResult();
  HandleInstallStoreUpdate(nullptr, std::move(result));

  ASSERT_EQ(log->answers().size(), 1u);
  RecordedAnswer answer = log->answers().front();
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
  EXPECT_EQ(answer.message, "store broke");
  EXPECT_TRUE(answer.value.IsNull());
  EXPECT_TRUE(log->released());
}

// The handler called directly, to follow its result object.
class StoreRestartTest : public ::testing::TestWithParam<StoreScript::Restart> {};

TEST_P(StoreRestartTest, AnswerComesBeforeTheRestartAndTheResultIsFreedWhateverTheRestartDoes) {
  StoreScript script = CompletedUpdate({1.0});
  script.restart = GetParam();
  FakeStoreUpdates store(script);
  platform::ScopedOverride<platform::StoreUpdates> use(&store);
  auto [log, result] = testing::MakeRecordingResult();
  constexpr size_t kNotYet = SIZE_MAX;
  std::atomic<size_t> answers_at_restart{kNotYet};
  store.set_restart_hook(
      [&log = log, &answers_at_restart] { answers_at_restart = log->answers().size(); });

  HandleInstallStoreUpdate(nullptr, std::move(result));

  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((answers_at_restart == kNotYet || !log->released()) &&
         std::chrono::steady_clock::now() < give_up) {
    std::this_thread::yield();
  }
  EXPECT_TRUE(log->released());
  std::vector<RecordedAnswer> answers = log->answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_EQ(answers[0].value, EncodableValue(true));
  EXPECT_EQ(answers_at_restart, 1u);
  EXPECT_EQ(store.restart_requests(), std::vector<std::u16string>{u""});
  store.FinishRestart();
}

INSTANTIATE_TEST_SUITE_P(Outcomes, StoreRestartTest,
                         ::testing::Values(StoreScript::Restart::kRestarts,
                                           StoreScript::Restart::kFails,
                                           StoreScript::Restart::kRaises,
                                           StoreScript::Restart::kNeverEnds));

}  // namespace
}  // namespace quillmar
