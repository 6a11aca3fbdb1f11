#include "platform/fake/fake_clipboard.h"

#include <functional>

namespace quillmar::platform::fake {
namespace {

// A snapshot of the content at GetContent, as DataPackageView is.
class FakeView : public DataPackageView {
 public:
  FakeView(std::optional<PlatformString> text, std::function<void(FakeClipboard::Call)> maybe_fail)
      : text_(std::move(text)), maybe_fail_(std::move(maybe_fail)) {}

  bool Contains(const PlatformString& format_id) override {
    maybe_fail_(FakeClipboard::Call::kContains);
    return text_.has_value() && format_id == StandardDataFormats::Text();
  }

  AsyncOperationPtr<PlatformString> GetTextAsync() override {
    maybe_fail_(FakeClipboard::Call::kGetText);
    auto operation = std::make_shared<AsyncOperation<PlatformString>>();
    if (text_) {
      operation->Complete(*text_);
    } else {
      operation->Fail(PlatformError(kFormatNotAvailable));
    }
    return operation;
  }

 private:
  std::optional<PlatformString> text_;
  std::function<void(FakeClipboard::Call)> maybe_fail_;
};

}  // namespace

bool FakeClipboard::SetContentWithOptions(const DataPackage& content,
                                          const ClipboardContentOptions& options) {
  MaybeFail(Call::kSetContent);
  std::lock_guard lock(mutex_);
  if (!accepts_content_) return false;
  text_ = content.text();
  last_options_ = options;
  return true;
}

std::shared_ptr<DataPackageView> FakeClipboard::GetContent() {
  MaybeFail(Call::kGetContent);
  std::lock_guard lock(mutex_);
  return std::make_shared<FakeView>(text_, [this](Call call) { MaybeFail(call); });
}

void FakeClipboard::Clear() {
  MaybeFail(Call::kClear);
  std::lock_guard lock(mutex_);
  text_.reset();
  ++clear_count_;
}

void FakeClipboard::PutText(PlatformString text) {
  std::lock_guard lock(mutex_);
  text_ = std::move(text);
}

void FakeClipboard::PutImage() {
  std::lock_guard lock(mutex_);
  text_.reset();
}

std::optional<PlatformString> FakeClipboard::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

std::optional<ClipboardContentOptions> FakeClipboard::LastOptions() const {
  std::lock_guard lock(mutex_);
  return last_options_;
}

int FakeClipboard::clear_count() const {
  std::lock_guard lock(mutex_);
  return clear_count_;
}

void FakeClipboard::set_accepts_content(bool accepted) {
  std::lock_guard lock(mutex_);
  accepts_content_ = accepted;
}

void FakeClipboard::FailCalls(Call call, PlatformError error) {
  std::lock_guard lock(mutex_);
  failing_call_ = call;
  failure_.emplace(std::move(error));
}

void FakeClipboard::MaybeFail(Call call) const {
  std::lock_guard lock(mutex_);
  if (failing_call_ == call) throw *failure_;
}

}  // namespace quillmar::platform::fake
