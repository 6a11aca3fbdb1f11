// A MethodResult that records its answers, for calling handlers directly.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "channel/encodable_value.h"
#include "channel/method_result.h"

namespace quillmar::testing {

struct RecordedAnswer {
  enum class Kind { kSuccess, kError, kNotImplemented } kind;
  EncodableValue value;  // the success value, or the error details
  std::string code;
  std::string message;
  std::thread::id thread;
};

// Shared between the test and the result object handed to a handler, so
// that the test can wait for an answer sent later from another thread.
class AnswerLog {
 public:
  void Add(RecordedAnswer answer);
  // The answers so far.
  std::vector<RecordedAnswer> answers() const;
  // Waits up to `seconds` for at least `count` answers; true when they came.
  bool WaitFor(size_t count, double seconds = 10) const;
  // True once the result object has been destroyed.
  bool released() const;
  void MarkReleased();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<RecordedAnswer> answers_;
  bool released_ = false;
};

class RecordingResult : public MethodResult {
 public:
  explicit RecordingResult(std::shared_ptr<AnswerLog> log) : log_(std::move(log)) {}
  ~RecordingResult() override { log_->MarkReleased(); }

 protected:
  void SuccessInternal(const EncodableValue* result) override;
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override;
  void NotImplementedInternal() override;

 private:
  std::shared_ptr<AnswerLog> log_;
};

// Makes a log and a result that records into it.
std::pair<std::shared_ptr<AnswerLog>, std::unique_ptr<MethodResult>> MakeRecordingResult();

// Builds a map argument value from string keys.
EncodableValue MapArgs(std::initializer_list<std::pair<std::string, EncodableValue>> entries);

}  // namespace quillmar::testing
