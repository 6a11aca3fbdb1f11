// The built quillmar-host program, run as a user runs it. Under Wine its
// output must be the same bytes as on Linux.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include "tests/support/windows_process.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

#if defined(_WIN32)
// The program and the DLL sit in one folder, as beside a Flutter runner.
std::string PluginLibrary() {
  return quillmar::testing::ThisProgramFolder() + "\\quillmar_core_windows.dll";
}

Outcome RunHost(const std::vector<std::string>& words, const std::string& input = "") {
  quillmar::testing::ProgramRun run = quillmar::testing::RunProgram(
      quillmar::testing::ThisProgramFolder() + "\\quillmar-host.exe", words, input);
  Outcome outcome;
  if (!run.started) return outcome;
  outcome.status = static_cast<int>(run.exit_code);
  outcome.out = run.output;
  outcome.err = run.error_output;
  return outcome;
}
#else
std::string PluginLibrary() { return QUILLMAR_PLUGIN_LIBRARY; }

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string TempFile(const std::string& contents) {
  char path[] = "/tmp/quillmar-host-test-XXXXXX";
  int fd = mkstemp(path);
  if (fd >= 0) {
    if (write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
      ADD_FAILURE() << "cannot write " << path;
    }
    close(fd);
  }
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

// Runs quillmar-host with `words`, `input` on its standard input.
Outcome RunHost(const std::vector<std::string>& words, const std::string& input = "") {
  std::string input_path = TempFile(input);
  std::string err_path = TempFile("");
  std::string command = QUILLMAR_HOST_BINARY;
  for (const std::string& word : words) {
    command += ' ';
    command += Quote(word);
  }
  command += " <" + input_path + " 2>" + err_path;
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  size_t length;
  while ((length = fread(buffer, 1, sizeof(buffer), pipe)) > 0) outcome.out.append(buffer, length);
  int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.err = ReadFile(err_path);
  unlink(input_path.c_str());
  unlink(err_path.c_str());
  return outcome;
}
#endif

// The message "isKeychainSecure" with null arguments, as hex.
constexpr char kIsKeychainSecureHex[] =
    "0710"
    "69734b6579636861696e536563757265"
    "00";

TEST(QuillmarHostTest, CallPrintsTheSuccessReply) {
  Outcome outcome = RunHost({"call", "isKeychainSecure"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "{\"success\": true}\n");
}

TEST(QuillmarHostTest, CallOfAnUnknownMethodPrintsNotImplemented) {
  Outcome outcome = RunHost({"call", "noSuchMethod", "{\"a\": [1, 2.5, {\"$int64\": 3}]}"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "{\"notImplemented\": true}\n");
}

TEST(QuillmarHostTest, ExplicitPluginPathIsUsed) {
  Outcome outcome = RunHost({"--plugin", PluginLibrary(), "call", "isKeychainSecure"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "{\"success\": true}\n");
}

TEST(QuillmarHostTest, MissingPluginFailsWithStatusOne) {
  Outcome outcome = RunHost({"--plugin", "/nonexistent/libplugin.so", "call", "isKeychainSecure"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("cannot load the plug-in"), std::string::npos);
}

class UsageErrorTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageErrorTest, ExitsWithTwoAndPrintsUsage) {
  Outcome outcome = RunHost(GetParam());
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("usage: quillmar-host"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, UsageErrorTest,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"bogus"},
                                           std::vector<std::string>{"call"},
                                           std::vector<std::string>{"call", "m", "{\"a\": }"},
                                           std::vector<std::string>{"call", "m", "{}", "extra"},
                                           std::vector<std::string>{"serve", "extra"},
                                           std::vector<std::string>{"raw", "abc"},
                                           std::vector<std::string>{"raw"},
                                           std::vector<std::string>{"--plugin"},
                                           std::vector<std::string>{"--frobnicate", "serve"}));

TEST(QuillmarHostTest, RawPrintsTheReplyBytesAsHex) {
  Outcome outcome = RunHost({"raw", kIsKeychainSecureHex});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "0001\n");  // success envelope, true
}

TEST(QuillmarHostTest, RawReadsHexFromStandardInput) {
  Outcome outcome = RunHost({"raw", "-"}, std::string(kIsKeychainSecureHex) + "\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "0001\n");
}

TEST(QuillmarHostTest, RawOfAnEmptyMessagePrintsAnEmptyLine) {
  Outcome outcome = RunHost({"raw", ""});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "\n");
}

TEST(QuillmarHostTest, ServeAnswersEachCallWithItsId) {
  Outcome outcome =
      RunHost({"serve"},
              "{\"id\": 0, \"arguments\": {}}\n"
              "\n"
              "{\"id\": 1, \"method\": \"isKeychainSecure\"}\n"
              "{\"id\": \"two\", \"method\": \"noSuchMethod\", \"arguments\": [1]}\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out,
            "{\"id\": 0, \"invalidRequest\": \"a request needs a \\\"method\\\" string\"}\n"
            "{\"id\": 1, \"success\": true}\n"
            "{\"id\": \"two\", \"notImplemented\": true}\n");
}

// A refused line or argument never echoes what it was reading: neither on
// standard output nor in the diagnostic.
TEST(QuillmarHostTest, CallRefusesArgumentsCutInsideASecretWithoutEchoingIt) {
  Outcome outcome = RunHost({"call", "upsertKeychainItem", "{\"itemValue\": \"Sekr3tPart"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  // The diagnostic's first line, without the line end (CR LF under Wine).
  EXPECT_EQ(outcome.err.substr(0, outcome.err.find_first_of("\r\n")),
            "quillmar-host: arguments: unterminated string at byte 26");
  EXPECT_EQ(outcome.err.find("Sekr3t"), std::string::npos) << outcome.err;
}

TEST(QuillmarHostTest, ServeRefusesLinesWithoutEchoingTheSecret) {
  Outcome outcome =
      RunHost({"serve"},
              "{\"id\": 1, \"method\": \"upsertKeychainItem\", \"arguments\": {\"itemValue\": "
              "\"Sekr3tPart\xFF\"}}\n"
              "{\"id\": 3, \"method\": \"upsertKeychainItem\", \"arguments\": {\"itemValue\": "
              "\"Sekr3tPart");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out,
            "{\"id\": null, \"invalidRequest\": \"invalid UTF-8 byte at byte 81\"}\n"
            "{\"id\": null, \"invalidRequest\": \"unterminated string at byte 81\"}\n");
  EXPECT_EQ(outcome.err.find("Sekr3t"), std::string::npos) << outcome.err;
}

}  // namespace
