// The clipboard expiry: after a time to live, the clipboard is cleared if it
// still shows the pending sensitive text.
#pragma once

#include <cstdint>
#include <mutex>

#include "base/secret_memory.h"
#include "platform/platform_string.h"

namespace quillmar {

// The one process-wide pending sensitive text. Written on the platform
// thread, read and emptied on pool threads; one mutex guards it and is held
// only for a copy, a read or a reset.
class PendingSensitiveText {
 public:
  void Store(const base::SecretString& text);
  // True when the pending text, in UTF-16, has exactly the code units of
  // `shown`; an empty slot matches an empty text.
  bool Matches(const platform::PlatformString& shown) const;
  void Reset();
  bool empty() const;

 private:
  mutable std::mutex mutex_;
  base::SecretString text_;
};

PendingSensitiveText& ThePendingSensitiveText();

// Stores `text` as the pending sensitive text on the calling thread, then
// has a pool thread clear the clipboard after `seconds` if it still shows
// the pending text at that time. Nothing waits for it; failures end it.
void StartClipboardExpiry(const base::SecretString& text, int32_t seconds);

}  // namespace quillmar
