// An in-memory clipboard. Records what was placed with which options, lets
// a test play another application (placing text or an image) and injects a
// failure into any one call. Callable from any thread; one mutex guards it.
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "platform/clipboard.h"

namespace quillmar::platform::fake {

class FakeClipboard : public Clipboard {
 public:
  enum class Call { kSetContent, kGetContent, kContains, kGetText, kClear };

  bool SetContentWithOptions(const DataPackage& content,
                             const ClipboardContentOptions& options) override;
  std::shared_ptr<DataPackageView> GetContent() override;
  void Clear() override;

  // Another application copies text, or an image (no text format).
  void PutText(PlatformString text);
  void PutImage();
  // The text shown now; absent when there is none.
  std::optional<PlatformString> Text() const;
  // The options of the last placement that the clipboard took.
  std::optional<ClipboardContentOptions> LastOptions() const;
  int clear_count() const;

  // SetContentWithOptions answers `accepted` (and then keeps nothing).
  void set_accepts_content(bool accepted);
  // The next calls of `call` raise `error`.
  void FailCalls(Call call, PlatformError error);

 private:
  void MaybeFail(Call call) const;

  mutable std::mutex mutex_;
  std::optional<PlatformString> text_;
  std::optional<ClipboardContentOptions> last_options_;
  bool accepts_content_ = true;
  int clear_count_ = 0;
  std::optional<Call> failing_call_;
  std::optional<PlatformError> failure_;
};

}  // namespace quillmar::platform::fake
