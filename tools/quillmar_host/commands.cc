#include "tools/quillmar_host/commands.h"

#include <iostream>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/secret_memory.h"
#include "tools/quillmar_host/hex.h"
#include "tools/quillmar_host/json.h"
#include "tools/quillmar_host/reply_lines.h"
#include "tools/quillmar_host/serve.h"
#include "tools/quillmar_host/session.h"

namespace quillmar::cli {
namespace {

constexpr char kUsage[] =
    "usage: quillmar-host [--plugin PATH] [--no-wait] [--view] COMMAND\n"
    "  call METHOD [ARGUMENTS-JSON]  one method call; prints its reply as one JSON line\n"
    "  serve                         JSON-line calls on standard input, one JSON line per reply\n"
    "  raw HEX | raw -               one message as hex (or hex on standard input);\n"
    "                                prints the reply bytes as hex\n"
    "  --view gives the registrar's view a window (Windows), as an application has\n";

struct Options {
  std::string plugin_path;
  bool wait_for_clipboard = true;
  bool view_window = false;
  bool help = false;
  std::vector<base::SecretString> words;  // the command and its operands, secrets among them
};

// What a command needs once its operands are checked.
struct Command {
  enum class Kind { kCall, kServe, kRaw } kind;
  std::string method;
  EncodableValue arguments;
  base::SecretBytes message;
};

int UsageError(const std::string& problem) {
  std::cerr << "quillmar-host: " << problem << "\n" << kUsage;
  return 2;
}

// The problem with the options, or nothing.
std::optional<std::string> ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    if (word == "--plugin") {
      if (++i == argc) return "--plugin needs a path";
      options->plugin_path = argv[i];
    } else if (word.starts_with("--plugin=")) {
      options->plugin_path = std::string(word.substr(9));
    } else if (word == "--no-wait") {
      options->wait_for_clipboard = false;
    } else if (word == "--view") {
      options->view_window = true;
    } else if (word == "--help" || word == "-h") {
      options->help = true;
    } else if (word.starts_with("--")) {
      return std::string("unknown option ").append(word);
    } else {
      options->words.emplace_back(word);
    }
  }
  if (options->plugin_path.empty()) options->plugin_path = DefaultPluginPath();
  return std::nullopt;
}

// The problem with the command and its operands, or nothing.
std::optional<std::string> ParseCommand(const std::vector<base::SecretString>& words,
                                        Command* command) {
  if (words.empty()) return "no command";
  std::string_view name = words[0].view();
  if (name == "call") {
    if (words.size() < 2 || words.size() > 3) return "call takes METHOD [ARGUMENTS-JSON]";
    command->kind = Command::Kind::kCall;
    command->method = std::string(words[1].view());
    if (words.size() == 3) {
      try {
        command->arguments = ParseJson(words[2].view());
      } catch (const JsonError& error) {
        return std::string("arguments: ") + error.what();
      }
    }
    return std::nullopt;
  }
  if (name == "serve") {
    if (words.size() != 1) return "serve takes no operands";
    command->kind = Command::Kind::kServe;
    return std::nullopt;
  }
  if (name == "raw") {
    if (words.size() != 2) return "raw takes HEX or -";
    base::SecretString hex = words[1];
    if (hex == "-") ReadSecretText(std::cin, &hex);
    std::optional<base::SecretBytes> message = ParseHex(hex.view());
    if (!message) return "raw needs pairs of hex digits";
    command->kind = Command::Kind::kRaw;
    command->message = std::move(*message);
    return std::nullopt;
  }
  return std::string("unknown command ").append(name);
}

int RunCall(host::TestDriver& driver, const Command& command, const Options& options,
            LineOutput& output) {
  host::MethodReply reply = driver.CallMethod(command.method, command.arguments, kReplyWait);
  if (reply.kind == host::MethodReply::Kind::kNoReply) {
    std::cerr << "quillmar-host: no reply within " << kReplyWait.count() << " s\n";
    return 1;
  }
  output.Write(ReplyLine(reply));
  // The clipboard keeps the text only while this process owns it.
  if (command.method == kClipboardMethod && reply.kind == host::MethodReply::Kind::kSuccess &&
      options.wait_for_clipboard) {
    int seconds = ClipboardSecondsToLive(command.arguments);
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::seconds(seconds) + kClipboardGrace);
  }
  return 0;
}

int RunRaw(host::TestDriver& driver, const Command& command, LineOutput& output) {
  // The host stand-in wipes its copy of the message once delivered.
  std::optional<std::vector<uint8_t>> reply = driver.DeliverAndWait(
      std::vector<uint8_t>(command.message.begin(), command.message.end()), kReplyWait);
  if (!reply) {
    std::cerr << "quillmar-host: no reply within " << kReplyWait.count() << " s\n";
    return 1;
  }
  output.Write(ToHex(*reply));
  base::SecureWipe(reply->data(), reply->size());
  return 0;
}

}  // namespace

int Main(int argc, char** argv) {
  Options options;
  if (std::optional<std::string> problem = ParseOptions(argc, argv, &options)) {
    return UsageError(*problem);
  }
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  Command command;
  if (std::optional<std::string> problem = ParseCommand(options.words, &command)) {
    return UsageError(*problem);
  }
  host::RegisterFunction register_plugin = LoadPlugin(options.plugin_path);
  if (register_plugin == nullptr) return 1;

  // Declared before the driver: the engine's threads write to them until it
  // is gone.
  LineOutput output(stdout);
  LineOutput diagnostics(stderr);
  host::TestDriver driver;
  if (options.view_window && !driver.engine().CreateViewWindow()) {
    std::cerr << "quillmar-host: the view has no window on this system\n";
  }
  LineOutput& events = command.kind == Command::Kind::kServe ? output : diagnostics;
  driver.engine().SetOutgoingListener(
      [&events](const host::OutgoingMessage& message, host::OutgoingAnswer) {
        events.Write(EventLine(message));
      });
  driver.RegisterPlugin(register_plugin);
  switch (command.kind) {
    case Command::Kind::kCall:
      return RunCall(driver, command, options, output);
    case Command::Kind::kServe:
      return Serve(driver, std::cin, output, options.wait_for_clipboard);
    case Command::Kind::kRaw:
      return RunRaw(driver, command, output);
  }
  return 1;
}

}  // namespace quillmar::cli
