// The Win32 clipboard backend and "copySensitiveDataToClipboard" against
// the real clipboard, read and written by a second process
// (win32_probe.exe) as any other program would.
#include "platform/clipboard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <ostream>
#include <thread>

#include "platform/service_registry.h"
#include "platform/thread_pool.h"
#include "services/clipboard_expiry.h"
#include "services/handlers.h"
#include "tests/support/recording_result.h"
#include "tests/win32_services_windows/probe_process.h"

namespace quillmar::windows_test {
namespace {

using platform::PlatformError;
using platform::PlatformString;
using testing::MapArgs;

platform::Clipboard& TheClipboard() { return platform::DefaultService<platform::Clipboard>(); }

constexpr char kDwordZero[] = "00000000";

// True once `done` holds, checked every 100 ms for up to `limit`.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(8)) {
  auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

void OtherProgramCopies(std::u16string_view text) {
  ASSERT_EQ(RunProbe({"clip-set", HexOfUnits(text)})["status"], "0");
}

struct PlacementCase {
  const char* name;
  bool allowed_in_history;
  bool roamable;
  const char* exclude;  // the data of each exclusion format, or "none"
  const char* history;
  const char* cloud;
};

void PrintTo(const PlacementCase& test, std::ostream* out) { *out << test.name; }

class ClipboardPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(ClipboardPlacementTest, AnotherProcessReadsTheTextAndItsExclusionFormats) {
  const PlacementCase& test = GetParam();
  platform::DataPackage package;
  package.SetText(PlatformString(u"p\u00E4ss \U0001F511"));
  platform::ClipboardContentOptions options;
  options.IsAllowedInHistory(test.allowed_in_history);
  options.IsRoamable(test.roamable);

  ASSERT_TRUE(TheClipboard().SetContentWithOptions(package, options));

  ProbeOutput seen = RunProbe({"clip-read"});
  EXPECT_EQ(seen["text"], HexOfUnits(u"p\u00E4ss \U0001F511"));
  EXPECT_EQ(seen["owned"], "1");
  EXPECT_EQ(seen["exclude"], test.exclude);
  EXPECT_EQ(seen["history"], test.history);
  EXPECT_EQ(seen["cloud"], test.cloud);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ClipboardPlacementTest,
    ::testing::Values(PlacementCase{"NeitherHistoryNorRoaming", false, false, kDwordZero,
                                    kDwordZero, kDwordZero},
                      PlacementCase{"RoamingOnly", false, true, "none", kDwordZero, "none"},
                      PlacementCase{"HistoryOnly", true, false, "none", "none", kDwordZero},
                      PlacementCase{"Both", true, true, "none", "none", "none"}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST(ClipboardTest, ReadsTheTextAnotherProgramPlaced) {
  OtherProgramCopies(u"from elsewhere \U0001F600");
  std::shared_ptr<platform::DataPackageView> content = TheClipboard().GetContent();
  ASSERT_TRUE(content->Contains(platform::StandardDataFormats::Text()));
  EXPECT_FALSE(content->Contains(PlatformString(u"Bitmap")));
  platform::AsyncOperationPtr<PlatformString> text = content->GetTextAsync();
  ASSERT_EQ(text->Status(), platform::AsyncStatus::kCompleted);
  EXPECT_EQ(text->GetResults(), PlatformString(u"from elsewhere \U0001F600"));
}

TEST(ClipboardTest, ContentWithoutTextOffersNoText) {
  ASSERT_EQ(RunProbe({"clip-set-other"})["status"], "0");
  std::shared_ptr<platform::DataPackageView> content = TheClipboard().GetContent();
  EXPECT_FALSE(content->Contains(platform::StandardDataFormats::Text()));
  platform::AsyncOperationPtr<PlatformString> text = content->GetTextAsync();
  ASSERT_EQ(text->Status(), platform::AsyncStatus::kError);
  try {
    text->GetResults();
    ADD_FAILURE() << "no text expected";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.code(), platform::kFormatNotAvailable);
  }
}

TEST(ClipboardTest, ClearEmptiesWhatAnotherProgramPlaced) {
  OtherProgramCopies(u"to be cleared");
  TheClipboard().Clear();
  EXPECT_EQ(RunProbe({"clip-read"})["text"], "none");
}

// A window of the test's thread that owns the clipboard, as the embedding's
// window does after the application copies text itself.
class ThreadOwnedClipboard {
 public:
  ThreadOwnedClipboard() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"QuillmarTestOwner";
    RegisterClassExW(&window_class);
    window_ = CreateWindowExW(0, L"QuillmarTestOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~ThreadOwnedClipboard() { DestroyWindow(window_); }

  bool Place(const wchar_t* text) {
    if (window_ == nullptr || !OpenClipboard(window_)) return false;
    EmptyClipboard();
    size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(memory), text, size);
    GlobalUnlock(memory);
    bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return placed;
  }

  static inline int destroy_messages = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROYCLIPBOARD) ++destroy_messages;
    return DefWindowProcW(window, message, wparam, lparam);
  }

  HWND window_ = nullptr;
};

// Emptying the clipboard sends WM_DESTROYCLIPBOARD to the window that owned
// it; the placing thread answers it while it waits for the owner thread.
TEST(ClipboardTest, PlacingOverAWindowOfTheCallingThreadCompletes) {
  ThreadOwnedClipboard own;
  ASSERT_TRUE(own.Place(L"the application's own copy"));
  int before = ThreadOwnedClipboard::destroy_messages;

  platform::DataPackage package;
  package.SetText(PlatformString(u"secret"));
  EXPECT_TRUE(TheClipboard().SetContentWithOptions(package, platform::ClipboardContentOptions()));

  EXPECT_EQ(ThreadOwnedClipboard::destroy_messages, before + 1);
  EXPECT_EQ(RunProbe({"clip-read"})["text"], HexOfUnits(u"secret"));
}

// The handler with the real clipboard and the build's thread pool.
class SensitiveCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::DefaultService<platform::ThreadPool>().Submit([] {})) {
      GTEST_SKIP() << "this build's thread pool is a stand-in that queues nothing";
    }
    ThePendingSensitiveText().Reset();
  }

  EncodableValue Copy(const char* text, int32_t seconds_to_live) {
    EncodableValue arguments = MapArgs({{"textToCopy", text}, {"secondsToLive", seconds_to_live}});
    auto [log, result] = testing::MakeRecordingResult();
    HandleCopySensitiveDataToClipboard(&arguments, std::move(result));
    std::vector<testing::RecordedAnswer> answers = log->answers();
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? EncodableValue() : answers[0].value;
  }
};

TEST_F(SensitiveCopyTest, TheTextIsExcludedAndClearedAfterItsTimeToLive) {
  ASSERT_EQ(Copy("s\xC3\xA9"
                 "cret",
                 3),
            EncodableValue(true));

  ProbeOutput seen = RunProbe({"clip-read"});
  EXPECT_EQ(seen["text"], HexOfUnits(u"s\u00E9cret"));
  EXPECT_EQ(seen["exclude"], kDwordZero);
  EXPECT_EQ(seen["history"], kDwordZero);
  EXPECT_EQ(seen["cloud"], kDwordZero);

  EXPECT_TRUE(Eventually([] { return RunProbe({"clip-read"})["text"] == "none"; }));
  EXPECT_TRUE(Eventually([] { return ThePendingSensitiveText().empty(); }));
}

TEST_F(SensitiveCopyTest, WhatTheUserCopiedSinceIsLeftAlone) {
  ASSERT_EQ(Copy("secret", 3), EncodableValue(true));
  OtherProgramCopies(u"the user's own text");
  ASSERT_FALSE(ThePendingSensitiveText().empty()) << "the copy came after the expiry";

  EXPECT_TRUE(Eventually([] { return ThePendingSensitiveText().empty(); }));
  EXPECT_EQ(RunProbe({"clip-read"})["text"], HexOfUnits(u"the user's own text"));
}

}  // namespace
}  // namespace quillmar::windows_test
