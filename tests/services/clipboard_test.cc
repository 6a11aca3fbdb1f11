#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ostream>
#include <thread>

#include "channel/method_call.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/service_registry.h"
#include "plugin/quillmar_core_windows.h"
#include "services/clipboard_expiry.h"
#include "services/handlers.h"
#include "tests/services/manual_timer_pool.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using platform::PlatformError;
using platform::PlatformString;
using platform::fake::FakeClipboard;
using std::chrono::milliseconds;
using testing::MapArgs;
using testing::RecordedAnswer;

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override { ThePendingSensitiveText().Reset(); }

  // Calls the handler and returns its one answer.
  RecordedAnswer Copy(const EncodableValue& arguments) {
    auto [log, result] = testing::MakeRecordingResult();
    HandleCopySensitiveDataToClipboard(&arguments, std::move(result));
    std::vector<RecordedAnswer> answers = log->answers();
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? RecordedAnswer{} : answers.front();
  }

  void ExpectSuccess(const RecordedAnswer& answer, bool placed) {
    EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
    EXPECT_EQ(answer.value, EncodableValue(placed));
  }

  bool PendingMatches(std::u16string_view text) {
    return ThePendingSensitiveText().Matches(PlatformString(text));
  }

  FakeClipboard clipboard_;
  testing::ManualTimerPool pool_;
  platform::ScopedOverride<platform::Clipboard> clipboard_override_{&clipboard_};
  platform::ScopedOverride<platform::ThreadPool> pool_override_{&pool_};
};

TEST_F(ClipboardTest, PlacesTextOutOfHistoryAndRoamingAndSchedulesExpiry) {
  ExpectSuccess(
      Copy(MapArgs({{"textToCopy", "p\xC3\xA4ss \xF0\x9F\x94\x91"}, {"secondsToLive", 7}})), true);

  EXPECT_EQ(clipboard_.Text(), PlatformString(u"p\u00E4ss \U0001F511"));
  ASSERT_TRUE(clipboard_.LastOptions().has_value());
  EXPECT_FALSE(clipboard_.LastOptions()->IsAllowedInHistory());
  EXPECT_FALSE(clipboard_.LastOptions()->IsRoamable());
  EXPECT_EQ(pool_.PendingDelays(), std::vector<milliseconds>{milliseconds(7000)});
  EXPECT_TRUE(PendingMatches(u"p\u00E4ss \U0001F511"));
}

TEST_F(ClipboardTest, MissingTimeToLiveMeansThirtySeconds) {
  ExpectSuccess(Copy(MapArgs({{"textToCopy", "secret"}})), true);
  EXPECT_EQ(pool_.PendingDelays(), std::vector<milliseconds>{milliseconds(30000)});
}

TEST_F(ClipboardTest, MissingArgumentsPlaceTheEmptyText) {
  ExpectSuccess(Copy(EncodableValue()), true);
  EXPECT_EQ(clipboard_.Text(), PlatformString(u""));
  EXPECT_EQ(pool_.PendingDelays(), std::vector<milliseconds>{milliseconds(30000)});
}

class ClipboardNoExpiryTest : public ClipboardTest,
                              public ::testing::WithParamInterface<int32_t> {};

TEST_P(ClipboardNoExpiryTest, TimeToLiveOfZeroOrLessPlacesTextAndNeverClears) {
  ThePendingSensitiveText().Store(base::SecretString("earlier"));
  ExpectSuccess(Copy(MapArgs({{"textToCopy", "secret"}, {"secondsToLive", GetParam()}})), true);
  EXPECT_EQ(clipboard_.Text(), PlatformString(u"secret"));
  EXPECT_TRUE(pool_.PendingDelays().empty());
  EXPECT_TRUE(PendingMatches(u"earlier"));
}

INSTANTIATE_TEST_SUITE_P(ZeroAndNegative, ClipboardNoExpiryTest,
                         ::testing::Values(0, -1, INT32_MIN));

TEST_F(ClipboardTest, RefusedPlacementAnswersFalseAndStillSchedulesExpiry) {
  clipboard_.set_accepts_content(false);
  ExpectSuccess(Copy(MapArgs({{"textToCopy", "secret"}, {"secondsToLive", 2}})), false);
  EXPECT_EQ(pool_.PendingDelays(), std::vector<milliseconds>{milliseconds(2000)});
  EXPECT_TRUE(PendingMatches(u"secret"));
}

TEST_F(ClipboardTest, FailedPlacementAnswersFalseAndSchedulesNothing) {
  ThePendingSensitiveText().Store(base::SecretString("earlier"));
  clipboard_.FailCalls(FakeClipboard::Call::kSetContent,
                       PlatformError(platform::kClipboardCantOpen));
  ExpectSuccess(Copy(MapArgs({{"textToCopy", "secret"}, {"secondsToLive", 2}})), false);
  EXPECT_TRUE(pool_.PendingDelays().empty());
  EXPECT_TRUE(PendingMatches(u"earlier"));
}

struct WrongArguments {
  const char* name;
  EncodableValue arguments;
  friend void PrintTo(const WrongArguments& c, std::ostream* out) { *out << c.name; }
};

class ClipboardArgumentTest : public ClipboardTest,
                              public ::testing::WithParamInterface<WrongArguments> {};

TEST_P(ClipboardArgumentTest, WrongArgumentTypeIsAnsweredByTheDispatcherAndTouchesNothing) {
  QuillmarCoreWindows plugin;
  auto [log, result] = testing::MakeRecordingResult();
  plugin.DispatchMethodCall(MethodCall("copySensitiveDataToClipboard",
                                       std::make_unique<EncodableValue>(GetParam().arguments)),
                            std::move(result));

  ASSERT_EQ(log->answers().size(), 1u);
  RecordedAnswer answer = log->answers().front();
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
  EXPECT_EQ(answer.message, "bad variant access");
  EXPECT_TRUE(answer.value.IsNull());
  EXPECT_FALSE(clipboard_.Text().has_value());
  EXPECT_TRUE(pool_.PendingDelays().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ClipboardArgumentTest,
    ::testing::Values(
        WrongArguments{"SecondsAsString",
                       MapArgs({{"textToCopy", "secret"}, {"secondsToLive", "5"}})},
        WrongArguments{"SecondsBeyond32Bits",
                       MapArgs({{"textToCopy", "secret"}, {"secondsToLive", int64_t{1} << 40}})},
        WrongArguments{"SecondsAsDouble",
                       MapArgs({{"textToCopy", "secret"}, {"secondsToLive", 5.0}})},
        WrongArguments{"TextAsNumber", MapArgs({{"textToCopy", 42}, {"secondsToLive", 5}})},
        WrongArguments{"TextAsNull", MapArgs({{"textToCopy", EncodableValue()}})}),
    [](const ::testing::TestParamInfo<WrongArguments>& info) { return info.param.name; });

// The expiry, with the timer fired by the test.
class ClipboardExpiryTest : public ClipboardTest {
 protected:
  void CopyWithExpiry(const char* text) {
    ExpectSuccess(Copy(MapArgs({{"textToCopy", text}, {"secondsToLive", 1}})), true);
  }
};

TEST_F(ClipboardExpiryTest, ClearsTheTextStillShownAndEmptiesTheSlot) {
  CopyWithExpiry("secret");
  pool_.FireNext();
  EXPECT_FALSE(clipboard_.Text().has_value());
  EXPECT_EQ(clipboard_.clear_count(), 1);
  EXPECT_TRUE(ThePendingSensitiveText().empty());
}

struct ShownAtExpiry {
  const char* name;
  std::function<void(FakeClipboard&)> change;
  std::optional<std::u16string> left_shown;
  friend void PrintTo(const ShownAtExpiry& c, std::ostream* out) { *out << c.name; }
};

class ClipboardLeftAloneTest : public ClipboardExpiryTest,
                               public ::testing::WithParamInterface<ShownAtExpiry> {};

TEST_P(ClipboardLeftAloneTest, OtherContentIsLeftAndTheSlotEmptied) {
  CopyWithExpiry("Secret \xC3\xA9");  // e with acute accent, one code unit
  GetParam().change(clipboard_);
  pool_.FireNext();
  std::optional<PlatformString> shown = clipboard_.Text();
  ASSERT_EQ(shown.has_value(), GetParam().left_shown.has_value());
  if (shown) {
    EXPECT_EQ(*shown, PlatformString(*GetParam().left_shown));
  }
  EXPECT_EQ(clipboard_.clear_count(), 0);
  EXPECT_TRUE(ThePendingSensitiveText().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ClipboardLeftAloneTest,
    ::testing::Values(
        ShownAtExpiry{"UserCopiedOtherText",
                      [](FakeClipboard& c) { c.PutText(PlatformString(u"other")); }, u"other"},
        ShownAtExpiry{"ImageWithoutText", [](FakeClipboard& c) { c.PutImage(); }, std::nullopt},
        ShownAtExpiry{"SameTextInOtherCase",
                      [](FakeClipboard& c) { c.PutText(PlatformString(u"secret \u00E9")); },
                      u"secret \u00E9"},
        ShownAtExpiry{"SameLettersDecomposed",
                      [](FakeClipboard& c) { c.PutText(PlatformString(u"Secret e\u0301")); },
                      u"Secret e\u0301"},
        ShownAtExpiry{"LongerText",
                      [](FakeClipboard& c) { c.PutText(PlatformString(u"Secret \u00E9 ")); },
                      u"Secret \u00E9 "}),
    [](const ::testing::TestParamInfo<ShownAtExpiry>& info) { return info.param.name; });

TEST_F(ClipboardExpiryTest, FirstOfTwoExpiriesClearsTheSecondTextAndTheSecondFindsTheSlotEmpty) {
  CopyWithExpiry("first");
  CopyWithExpiry("second");

  pool_.FireNext();
  EXPECT_FALSE(clipboard_.Text().has_value());
  EXPECT_EQ(clipboard_.clear_count(), 1);
  EXPECT_TRUE(ThePendingSensitiveText().empty());

  pool_.FireNext();
  EXPECT_EQ(clipboard_.clear_count(), 1);
}

TEST_F(ClipboardExpiryTest, LaterExpiryClearsAnEmptyTextBecauseTheEmptySlotMatchesIt) {
  CopyWithExpiry("first");
  CopyWithExpiry("second");
  pool_.FireNext();
  clipboard_.PutText(PlatformString(u""));

  pool_.FireNext();
  EXPECT_FALSE(clipboard_.Text().has_value());
  EXPECT_EQ(clipboard_.clear_count(), 2);
}

class ClipboardExpiryFailureTest : public ClipboardExpiryTest,
                                   public ::testing::WithParamInterface<FakeClipboard::Call> {};

TEST_P(ClipboardExpiryFailureTest, FailingClipboardCallEndsTheExpiryAndKeepsTheSlot) {
  CopyWithExpiry("secret");
  clipboard_.FailCalls(GetParam(), PlatformError(platform::kClipboardCantOpen));
  pool_.FireNext();
  EXPECT_EQ(clipboard_.Text(), PlatformString(u"secret"));
  EXPECT_TRUE(PendingMatches(u"secret"));
}

INSTANTIATE_TEST_SUITE_P(Calls, ClipboardExpiryFailureTest,
                         ::testing::Values(FakeClipboard::Call::kGetContent,
                                           FakeClipboard::Call::kContains,
                                           FakeClipboard::Call::kGetText,
                                           FakeClipboard::Call::kClear));

TEST(ClipboardOnProcessPoolTest, ClearsAfterOneSecond) {
  ThePendingSensitiveText().Reset();
  FakeClipboard clipboard;
  platform::ScopedOverride<platform::Clipboard> clipboard_override(&clipboard);
  auto [log, result] = testing::MakeRecordingResult();
  EncodableValue arguments = MapArgs({{"textToCopy", "secret"}, {"secondsToLive", 1}});
  HandleCopySensitiveDataToClipboard(&arguments, std::move(result));

  EXPECT_EQ(clipboard.Text(), PlatformString(u"secret"));
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (clipboard.clear_count() == 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_FALSE(clipboard.Text().has_value());
  EXPECT_EQ(clipboard.clear_count(), 1);
}

}  // namespace
}  // namespace quillmar
