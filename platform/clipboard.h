// The system clipboard (Clipboard, DataPackage, ClipboardContentOptions,
// DataPackageView and StandardDataFormats on Windows). Text only: the
// library places text and reads text back.
#pragma once

#include <memory>
#include <optional>
#include <utility>

#include "platform/async_operation.h"
#include "platform/platform_error.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

inline constexpr HResult kClipboardCantOpen =
    static_cast<HResult>(0x800401D0);  // CLIPBRD_E_CANT_OPEN
inline constexpr HResult kFormatNotAvailable = static_cast<HResult>(0x80040064);  // DV_E_FORMATETC
inline constexpr HResult kClipboardTimeout = static_cast<HResult>(0x800705B4);    // ERROR_TIMEOUT

// The format ids of StandardDataFormats.
struct StandardDataFormats {
  static PlatformString Text() { return PlatformString(u"Text"); }
};

// Content to place on the clipboard. Built and read on one thread.
class DataPackage {
 public:
  // Makes `text` the package's text format.
  void SetText(PlatformString text) { text_ = std::move(text); }
  // The text format, if one was set.
  const std::optional<PlatformString>& text() const { return text_; }

 private:
  std::optional<PlatformString> text_;
};

// How placed content may travel: into the clipboard history, to other
// devices. Both are allowed until switched off, as on Windows.
class ClipboardContentOptions {
 public:
  bool IsAllowedInHistory() const { return allowed_in_history_; }
  void IsAllowedInHistory(bool allowed) { allowed_in_history_ = allowed; }
  bool IsRoamable() const { return roamable_; }
  void IsRoamable(bool roamable) { roamable_ = roamable; }

 private:
  bool allowed_in_history_ = true;
  bool roamable_ = true;
};

// What the clipboard holds when it is read, whoever placed it. Used from
// one thread at a time, any thread.
class DataPackageView {
 public:
  virtual ~DataPackageView() = default;
  // True when the content offers `format_id` (StandardDataFormats). Raises
  // kClipboardCantOpen or kClipboardTimeout when the clipboard cannot be asked.
  virtual bool Contains(const PlatformString& format_id) = 0;
  // The content's text, delivered on a pool thread (or at once). The
  // operation fails with kFormatNotAvailable when there is no text, and with
  // kClipboardCantOpen or kClipboardTimeout when it cannot be read.
  virtual AsyncOperationPtr<PlatformString> GetTextAsync() = 0;
};

// Callable from any thread.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Places `content` with `options`; true when the clipboard took it.
  // Raises kClipboardCantOpen when there is no clipboard to place it on.
  virtual bool SetContentWithOptions(const DataPackage& content,
                                     const ClipboardContentOptions& options) = 0;
  // A view of the current content. Raises kClipboardCantOpen.
  virtual std::shared_ptr<DataPackageView> GetContent() = 0;
  // Empties the clipboard, whoever placed its content. Raises kClipboardCantOpen.
  virtual void Clear() = 0;
};

}  // namespace quillmar::platform
