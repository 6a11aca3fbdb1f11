// The clipboard on a real X display, read and written by xclip as another
// program would. Run under scripts/env/xvfb-session.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "common/text.h"
#include "platform/clipboard.h"
#include "platform/service_registry.h"
#include "services/clipboard_expiry.h"
#include "services/handlers.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::ChildProcess;
using testing::CommandResult;
using testing::RunCommand;

CommandResult ReadClipboard(const char* target = nullptr) {
  std::vector<std::string> argv = {"xclip", "-selection", "clipboard", "-o"};
  if (target != nullptr) argv.insert(argv.end(), {"-t", target});
  return RunCommand(argv);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// True once `done` holds, checked every 50 ms for up to `limit`.
bool Eventually(const std::function<bool()>& done, milliseconds limit = seconds(8)) {
  auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
  return true;
}

// The clipboard's text as the expiry reads it.
platform::PlatformString ReadText() {
  auto operation = platform::Current<platform::Clipboard>().GetContent()->GetTextAsync();
  Eventually([&] { return operation->Status() != platform::AsyncStatus::kStarted; });
  try {
    return operation->GetResults();
  } catch (const platform::PlatformError& error) {
    ADD_FAILURE() << "reading the text failed with " << std::hex << error.code();
    return platform::PlatformString();
  }
}

bool ClipboardHasOwner() { return ReadClipboard("TARGETS").exit_code == 0; }

// Another program copying `text`; it serves it until it loses the selection
// or is stopped.
std::unique_ptr<ChildProcess> XclipCopies(const std::string& text) {
  return std::make_unique<ChildProcess>(
      std::vector<std::string>{"xclip", "-selection", "clipboard", "-quiet", "-i"}, text);
}

// Tests that share a display share its clipboard: those run by CTest in
// parallel take turns through a lock file per display.
class DisplayClipboardLock {
 public:
  explicit DisplayClipboardLock(const std::string& display) {
    const char* temp = std::getenv("TMPDIR");
    std::string path =
        std::string(temp != nullptr ? temp : "/tmp") + "/quillmar-clipboard-" + display + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~DisplayClipboardLock() {
    if (fd_ >= 0) close(fd_);
  }
  DisplayClipboardLock(const DisplayClipboardLock&) = delete;
  DisplayClipboardLock& operator=(const DisplayClipboardLock&) = delete;

 private:
  int fd_ = -1;
};

class X11ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "DISPLAY is not set";
    if (!testing::OnPath("xclip")) GTEST_SKIP() << "xclip is not installed";
    if (ReadClipboard().err.find("Can't open display") != std::string::npos) {
      GTEST_SKIP() << "the display " << display << " cannot be reached";
    }
    lock_ = std::make_unique<DisplayClipboardLock>(display);
    ThePendingSensitiveText().Reset();
    platform::Current<platform::Clipboard>().Clear();
  }

  EncodableValue Copy(const std::string& text, int32_t seconds_to_live) {
    auto [log, result] = testing::MakeRecordingResult();
    EncodableValue arguments =
        testing::MapArgs({{"textToCopy", text}, {"secondsToLive", seconds_to_live}});
    HandleCopySensitiveDataToClipboard(&arguments, std::move(result));
    EXPECT_EQ(log->answers().size(), 1u);
    return log->answers().empty() ? EncodableValue() : log->answers().front().value;
  }

  // Waits for the expiry of a copy made with a time to live of 2 seconds.
  void WaitForExpiry() {
    std::this_thread::sleep_for(milliseconds(2000));
    EXPECT_TRUE(Eventually([] { return ThePendingSensitiveText().empty(); }));
  }

  std::unique_ptr<DisplayClipboardLock> lock_;
};

TEST_F(X11ClipboardTest, CopiedTextIsServedWithThePasswordManagerHint) {
  const std::string text =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xF0\x9F\x94\x91 p@ss";
  EXPECT_EQ(Copy(text, 0), EncodableValue(true));

  CommandResult read = ReadClipboard();
  EXPECT_EQ(read.exit_code, 0) << read.err;
  EXPECT_EQ(read.out, text);
  EXPECT_EQ(Lines(ReadClipboard("TARGETS").out),
            (std::vector<std::string>{"TARGETS", "TIMESTAMP", "UTF8_STRING", "STRING", "TEXT",
                                      "x-kde-passwordManagerHint"}));
  EXPECT_EQ(ReadClipboard("x-kde-passwordManagerHint").out, "secret");
  EXPECT_EQ(ReadClipboard("TEXT").out, text);
  EXPECT_EQ(ReadClipboard("STRING").out,
            "Gr\xFC\xDF"
            "e ? p@ss");
  EXPECT_EQ(ReadClipboard("image/png").exit_code, 1);
}

TEST_F(X11ClipboardTest, PlacingRightAfterClearingServesTheNewText) {
  for (int round = 0; round < 20; ++round) {
    platform::Current<platform::Clipboard>().Clear();
    std::string text = "round " + std::to_string(round);
    EXPECT_EQ(Copy(text, 0), EncodableValue(true));
    EXPECT_EQ(ReadClipboard().out, text);
  }
}

TEST_F(X11ClipboardTest, TextIsGoneAfterItsTimeToLive) {
  EXPECT_EQ(Copy("short-lived", 2), EncodableValue(true));
  EXPECT_EQ(ReadClipboard().out, "short-lived");
  WaitForExpiry();
  EXPECT_FALSE(ClipboardHasOwner());
  EXPECT_EQ(ReadClipboard().exit_code, 1);
}

TEST_F(X11ClipboardTest, TextCopiedMeanwhileByAnotherProgramStays) {
  EXPECT_EQ(Copy("short-lived", 2), EncodableValue(true));
  std::unique_ptr<ChildProcess> other = XclipCopies("copied by the user");
  ASSERT_TRUE(Eventually([] { return ReadClipboard().out == "copied by the user"; }));
  WaitForExpiry();
  EXPECT_EQ(ReadClipboard().out, "copied by the user");
  other->Stop();
}

TEST_F(X11ClipboardTest, SameTextServedByAnotherProgramIsClearedAtExpiry) {
  EXPECT_EQ(Copy("same text", 2), EncodableValue(true));
  std::unique_ptr<ChildProcess> other = XclipCopies("same text");
  // xclip offers no password-manager hint: once it is gone, xclip owns it.
  ASSERT_TRUE(Eventually([] { return Lines(ReadClipboard("TARGETS").out).size() == 2; }));
  WaitForExpiry();
  EXPECT_FALSE(ClipboardHasOwner());
  EXPECT_TRUE(other->WaitForExit(seconds(5)));  // it lost the selection
}

TEST_F(X11ClipboardTest, LargeTextsTravelBothWays) {
  std::string large(3 * 1024 * 1024 + 17, 'x');
  for (size_t i = 0; i < large.size(); i += 1000) large[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(Copy(large, 0), EncodableValue(true));
  CommandResult read = ReadClipboard();
  EXPECT_EQ(read.out.size(), large.size());
  EXPECT_TRUE(read.out == large);
  EXPECT_TRUE(ReadText() == Utf8ToWide(large));

  std::string other_large = large;
  other_large[0] = '#';
  std::unique_ptr<ChildProcess> other = XclipCopies(other_large);
  ASSERT_TRUE(Eventually([] { return Lines(ReadClipboard("TARGETS").out).size() == 2; }));
  EXPECT_TRUE(platform::Current<platform::Clipboard>().GetContent()->Contains(
      platform::StandardDataFormats::Text()));
  EXPECT_TRUE(ReadText() == Utf8ToWide(other_large));
  other->Stop();
}

TEST_F(X11ClipboardTest, EmptyClipboardOffersNoText) {
  auto content = platform::Current<platform::Clipboard>().GetContent();
  EXPECT_FALSE(content->Contains(platform::StandardDataFormats::Text()));
  auto operation = content->GetTextAsync();
  ASSERT_TRUE(Eventually([&] { return operation->Status() != platform::AsyncStatus::kStarted; }));
  ASSERT_EQ(operation->Status(), platform::AsyncStatus::kError);
  try {
    operation->GetResults();
    ADD_FAILURE() << "no text expected";
  } catch (const platform::PlatformError& error) {
    EXPECT_EQ(error.code(), platform::kFormatNotAvailable);
  }
}

TEST_F(X11ClipboardTest, EntryAllowedInHistoryOffersNoHint) {
  platform::DataPackage package;
  package.SetText(platform::PlatformString(u"ordinary"));
  EXPECT_TRUE(platform::Current<platform::Clipboard>().SetContentWithOptions(
      package, platform::ClipboardContentOptions()));
  EXPECT_EQ(Lines(ReadClipboard("TARGETS").out),
            (std::vector<std::string>{"TARGETS", "TIMESTAMP", "UTF8_STRING", "STRING", "TEXT"}));
  EXPECT_EQ(ReadClipboard("x-kde-passwordManagerHint").exit_code, 1);
}

// The command-line host serves the text until its expiry and clears it then,
// while it still runs: an owner that merely exits also leaves the clipboard
// without owner, but a clipboard manager would keep its text.
TEST_F(X11ClipboardTest, CommandLineHostServesTheTextUntilItsExpiry) {
  ChildProcess host({QUILLMAR_HOST_BINARY, "call", "copySensitiveDataToClipboard",
                     R"({"textToCopy": "from the host", "secondsToLive": 1})"},
                    "");
  EXPECT_EQ(host.ReadLine(seconds(10)), R"({"success": true})");
  auto answered = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadClipboard().out, "from the host");
  EXPECT_EQ(ReadClipboard("x-kde-passwordManagerHint").out, "secret");

  // The host stays for 2 s past the time to live.
  ASSERT_TRUE(Eventually([] { return !ClipboardHasOwner(); }, seconds(3)));
  auto cleared = std::chrono::steady_clock::now();
  EXPECT_FALSE(host.WaitForExit(milliseconds(0))) << "the host exited instead of clearing";
  EXPECT_GE(cleared - answered, milliseconds(900)) << "cleared before its time to live";
  EXPECT_TRUE(host.WaitForExit(seconds(10)));
}

TEST(X11ClipboardWithoutDisplayTest, PlacingFailsAndTheReplyIsFalse) {
  CommandResult reply = RunCommand({"env", "-u", "DISPLAY", QUILLMAR_HOST_BINARY, "--no-wait",
                                    "call", "copySensitiveDataToClipboard",
                                    R"({"textToCopy": "nowhere", "secondsToLive": 1})"});
  EXPECT_EQ(reply.exit_code, 0) << reply.err;
  EXPECT_EQ(reply.out, "{\"success\": false}\n");
}

}  // namespace
}  // namespace quillmar
