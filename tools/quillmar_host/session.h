// What the commands of the command-line host share: loading the plug-in,
// whole-line output, and the clipboard's time to live.
#pragma once

#include <chrono>
#include <cstdio>
#include <istream>
#include <mutex>
#include <string>
#include <string_view>

#include "base/secret_memory.h"
#include "channel/encodable_value.h"
#include "host/driver/test_driver.h"

namespace quillmar::cli {

// How long a command waits for replies still due.
inline constexpr std::chrono::seconds kReplyWait{60};
// The host stays this long past a clipboard time to live, so that the
// library's expiry runs while the selection still has its owner.
inline constexpr std::chrono::seconds kClipboardGrace{2};
inline constexpr char kClipboardMethod[] = "copySensitiveDataToClipboard";

// "secondsToLive" of a clipboard call's arguments: 30 when absent, 0 when it
// is not a 32-bit integer (the library refuses such a call).
int ClipboardSecondsToLive(const EncodableValue& arguments);

// libquillmar_core_windows.so in ../lib beside this program's folder; on
// Windows quillmar_core_windows.dll beside the program.
std::string DefaultPluginPath();

// The plug-in's export, or null after a report on standard error.
host::RegisterFunction LoadPlugin(const std::string& path);

// Reads into *text up to `end` (left out) or the end of input, in wiped
// memory: input carries secrets, and a growing plain string would free its
// earlier storage unwiped. False when the input had nothing left.
bool ReadSecretText(std::istream& input, base::SecretString* text,
                    int end = std::char_traits<char>::eof());

// Writes whole lines to one stream. Called from any thread; mutex_ keeps
// lines whole and in the order they are written.
class LineOutput {
 public:
  explicit LineOutput(std::FILE* stream) : stream_(stream) {}
  void Write(std::string_view line);

 private:
  std::FILE* stream_;
  std::mutex mutex_;
};

}  // namespace quillmar::cli
