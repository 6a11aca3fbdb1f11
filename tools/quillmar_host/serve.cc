#include "tools/quillmar_host/serve.h"

#include <condition_variable>
#include <functional>
#include <istream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/secret_memory.h"
#include "tools/quillmar_host/json.h"
#include "tools/quillmar_host/reply_lines.h"

namespace quillmar::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The calls of one session whose replies are due, by ticket. Created on the
// main thread; replies finish calls from whichever thread answers; mutex_
// guards all of it.
class PendingCalls {
 public:
  uint64_t Add(EncodableValue id) {
    std::lock_guard lock(mutex_);
    calls_.emplace(next_ticket_, std::move(id));
    return next_ticket_++;
  }

  // Calls `report` with the call's id, extends the session to
  // `keep_alive_until` and forgets the call; nothing when the call was
  // given up.
  void Finish(uint64_t ticket, const std::function<void(const EncodableValue& id)>& report,
              Clock::time_point keep_alive_until) {
    {
      std::lock_guard lock(mutex_);
      auto found = calls_.find(ticket);
      if (found == calls_.end()) return;
      report(found->second);
      if (keep_alive_until > keep_alive_until_) keep_alive_until_ = keep_alive_until;
      calls_.erase(found);
    }
    finished_.notify_all();
  }

  Clock::time_point keep_alive_until() const {
    std::lock_guard lock(mutex_);
    return keep_alive_until_;
  }

  // Waits until no call is due or `deadline` has passed; gives up and
  // returns the ids of the calls still due.
  std::vector<EncodableValue> WaitUntilAnswered(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    finished_.wait_until(lock, deadline, [this] { return calls_.empty(); });
    std::vector<EncodableValue> left;
    for (auto& [ticket, id] : calls_) left.push_back(std::move(id));
    calls_.clear();
    return left;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::map<uint64_t, EncodableValue> calls_;
  uint64_t next_ticket_ = 1;
  Clock::time_point keep_alive_until_{};
};

struct Request {
  EncodableValue id;
  std::string method;
  EncodableValue arguments;
};

const EncodableValue* Member(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  return found == map.end() ? nullptr : &found->second;
}

// The reason `line` is not a call, or nothing.
std::optional<std::string> ParseRequest(std::string_view line, Request* request) {
  EncodableValue value;
  try {
    value = ParseJson(line);
  } catch (const JsonError& error) {
    return std::string(error.what());
  }
  const auto* map = value.GetIf<EncodableMap>();
  if (map == nullptr) return "a request is a JSON object";
  if (const EncodableValue* id = Member(*map, "id")) request->id = *id;
  const EncodableValue* method = Member(*map, "method");
  if (method == nullptr || !method->Holds<std::string>()) {
    return "a request needs a \"method\" string";
  }
  request->method = *method->GetIf<std::string>();
  if (const EncodableValue* arguments = Member(*map, "arguments")) request->arguments = *arguments;
  return std::nullopt;
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

int Serve(host::TestDriver& driver, std::istream& input, LineOutput& output,
          bool wait_for_clipboard) {
  PendingCalls pending;
  base::SecretString line;
  while (ReadSecretText(input, &line, '\n')) {
    if (IsBlankLine(line.view())) continue;
    Request request;
    if (std::optional<std::string> problem = ParseRequest(line.view(), &request)) {
      output.Write(base::SecretString("{\"id\": ")
                       .append(WriteJson(request.id))
                       .append(", \"invalidRequest\": ")
                       .append(WriteJson(EncodableValue(*problem)))
                       .append("}"));
      continue;
    }
    int clipboard_seconds =
        request.method == kClipboardMethod ? ClipboardSecondsToLive(request.arguments) : 0;
    uint64_t ticket = pending.Add(request.id);
    driver.engine().Deliver(
        host::kPluginChannel, host::EncodeMethodCall(request.method, request.arguments),
        [&pending, &output, ticket, clipboard_seconds](std::vector<uint8_t> bytes) {
          host::MethodReply reply = host::DecodeReply(bytes);
          base::SecureWipe(bytes.data(), bytes.size());
          Clock::time_point keep_alive_until{};
          if (clipboard_seconds > 0 && reply.kind == host::MethodReply::Kind::kSuccess) {
            keep_alive_until =
                Clock::now() + std::chrono::seconds(clipboard_seconds) + kClipboardGrace;
          }
          pending.Finish(
              ticket, [&](const EncodableValue& id) { output.Write(ReplyLine(reply, &id)); },
              keep_alive_until);
        });
  }
  std::vector<EncodableValue> left = pending.WaitUntilAnswered(Clock::now() + kReplyWait);
  for (const EncodableValue& id : left) output.Write(ReplyLine(host::MethodReply(), &id));
  // Replies still on their way would reach `pending` after it is gone.
  driver.engine().Shutdown();
  if (wait_for_clipboard) std::this_thread::sleep_until(pending.keep_alive_until());
  return left.empty() ? 0 : 1;
}

}  // namespace quillmar::cli
