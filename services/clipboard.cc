// "copySensitiveDataToClipboard": places a secret on the clipboard, out of
// its history and roaming, and clears it after its time to live.
#include "platform/clipboard.h"

#include <chrono>

#include "base/protocol.h"
#include "common/arguments.h"
#include "common/awaiter.h"
#include "common/text.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"
#include "services/clipboard_expiry.h"
#include "services/handlers.h"

namespace quillmar {
namespace {

bool PlaceSensitiveText(const base::SecretString& text) {
  platform::DataPackage package;
  package.SetText(Utf8ToWide(text.view()));
  platform::ClipboardContentOptions options;
  options.IsAllowedInHistory(false);
  options.IsRoamable(false);
  return platform::Current<platform::Clipboard>().SetContentWithOptions(package, options);
}

// Runs on the timer's pool thread. A failing clipboard call ends the task
// and leaves the pending text for the next expiry to empty.
DetachedTask ClearClipboardIfStillPending() {
  try {
    platform::Clipboard& clipboard = platform::Current<platform::Clipboard>();
    std::shared_ptr<platform::DataPackageView> content = clipboard.GetContent();
    if (content->Contains(platform::StandardDataFormats::Text())) {
      platform::PlatformString shown = co_await content->GetTextAsync();
      if (ThePendingSensitiveText().Matches(shown)) clipboard.Clear();
    }
  } catch (...) {
    co_return;
  }
  ThePendingSensitiveText().Reset();
}

}  // namespace

void PendingSensitiveText::Store(const base::SecretString& text) {
  std::lock_guard lock(mutex_);
  text_ = text;
}

bool PendingSensitiveText::Matches(const platform::PlatformString& shown) const {
  base::SecretString pending;
  {
    std::lock_guard lock(mutex_);
    pending = text_;
  }
  return Utf8ToWide(pending.view()) == shown;
}

void PendingSensitiveText::Reset() {
  std::lock_guard lock(mutex_);
  text_.clear();
}

bool PendingSensitiveText::empty() const {
  std::lock_guard lock(mutex_);
  return text_.empty();
}

PendingSensitiveText& ThePendingSensitiveText() {
  static auto* slot = new PendingSensitiveText();
  return *slot;
}

void StartClipboardExpiry(const base::SecretString& text, int32_t seconds) {
  ThePendingSensitiveText().Store(text);
  try {
    platform::Current<platform::ThreadPool>().SubmitAfter(std::chrono::seconds(seconds),
                                                          [] { ClearClipboardIfStillPending(); });
  } catch (...) {
    // Without a timer the text stays pending until another expiry empties it.
  }
}

void HandleCopySensitiveDataToClipboard(const EncodableValue* arguments,
                                        std::unique_ptr<MethodResult> result) {
  base::SecretString text = ReadSecretArgument("textToCopy", arguments);
  int32_t seconds_to_live =
      ReadIntArgument("secondsToLive", arguments, base::kDefaultClipboardSecondsToLive);
  bool placed = false;
  try {
    placed = PlaceSensitiveText(text);
  } catch (...) {
    result->Success(EncodableValue(false));
    return;
  }
  result->Success(EncodableValue(placed));
  if (seconds_to_live > 0) StartClipboardExpiry(text, seconds_to_live);
}

}  // namespace quillmar
