#include "tests/support/recording_result.h"

#include <chrono>

namespace quillmar::testing {

void AnswerLog::Add(RecordedAnswer answer) {
  {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(answer));
  }
  changed_.notify_all();
}

std::vector<RecordedAnswer> AnswerLog::answers() const {
  std::lock_guard lock(mutex_);
  return answers_;
}

bool AnswerLog::WaitFor(size_t count, double seconds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                           [&] { return answers_.size() >= count; });
}

bool AnswerLog::released() const {
  std::lock_guard lock(mutex_);
  return released_;
}

void AnswerLog::MarkReleased() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

void RecordingResult::SuccessInternal(const EncodableValue* result) {
  log_->Add({RecordedAnswer::Kind::kSuccess, result ? *result : EncodableValue(), "", "",
             std::this_thread::get_id()});
}

void RecordingResult::ErrorInternal(const std::string& code, const std::string& message,
                                    const EncodableValue* details) {
  log_->Add({RecordedAnswer::Kind::kError, details ? *details : EncodableValue(), code, message,
             std::this_thread::get_id()});
}

void RecordingResult::NotImplementedInternal() {
  log_->Add({RecordedAnswer::Kind::kNotImplemented, EncodableValue(), "", "",
             std::this_thread::get_id()});
}

std::pair<std::shared_ptr<AnswerLog>, std::unique_ptr<MethodResult>> MakeRecordingResult() {
  auto log = std::make_shared<AnswerLog>();
  return {log, std::make_unique<RecordingResult>(log)};
}

EncodableValue MapArgs(std::initializer_list<std::pair<std::string, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) map.emplace(EncodableValue(key), value);
  return EncodableValue(std::move(map));
}

}  // namespace quillmar::testing
