// The clipboard on Linux: the X11 CLIPBOARD selection. Placed text is served
// by the library's owner thread; an entry kept out of history also offers
// the x-kde-passwordManagerHint target valued "secret", which clipboard
// managers honour by not recording it. Roaming does not exist here.
// Reading asks the selection's owner, whoever it is, on a connection of the
// reading thread's own.
#include "platform/linux/x11_clipboard.h"

#include <X11/Xatom.h>

#include <algorithm>

#include "platform/clipboard.h"
#include "platform/service_registry.h"
#include "platform/text_conversion.h"
#include "platform/thread_pool.h"

namespace quillmar::platform {
namespace {

[[noreturn]] void RaiseNoDisplay() {
  throw PlatformError(kClipboardCantOpen,
                      PlatformString(u"No X display is available for the clipboard."));
}

std::unique_ptr<x11::Connection> OpenOrRaise() {
  std::unique_ptr<x11::Connection> connection = x11::Connection::Open();
  if (!connection) RaiseNoDisplay();
  return connection;
}

// The selection's text: UTF8_STRING when the owner gives it, else
// ISO Latin-1 STRING.
PlatformString ReadClipboardText() {
  std::unique_ptr<x11::Connection> connection = OpenOrRaise();
  std::optional<x11::SelectionData> data =
      x11::ReadSelection(*connection, connection->atoms().utf8_string);
  if (data && data->format == 8) {
    return PlatformString::FromUtf8(
        std::string_view(reinterpret_cast<const char*>(data->bytes.data()), data->bytes.size()));
  }
  data = x11::ReadSelection(*connection, XA_STRING);
  if (data && data->format == 8) {
    base::SecretU16String latin1(data->bytes.size(), u'\0');
    std::copy(data->bytes.data(), data->bytes.data() + data->bytes.size(), latin1.data());
    return PlatformString(std::move(latin1));
  }
  throw PlatformError(kFormatNotAvailable);
}

class X11DataPackageView : public DataPackageView {
 public:
  bool Contains(const PlatformString& format_id) override {
    if (!(format_id == StandardDataFormats::Text())) return false;
    std::unique_ptr<x11::Connection> connection = OpenOrRaise();
    const x11::Atoms& atoms = connection->atoms();
    std::vector<Atom> targets = x11::ReadTargets(*connection);
    return std::any_of(targets.begin(), targets.end(), [&](Atom target) {
      return target == atoms.utf8_string || target == XA_STRING || target == atoms.text;
    });
  }

  AsyncOperationPtr<PlatformString> GetTextAsync() override {
    auto operation = std::make_shared<AsyncOperation<PlatformString>>();
    bool queued = Current<ThreadPool>().Submit([operation] {
      try {
        operation->Complete(ReadClipboardText());
      } catch (const PlatformError& error) {
        operation->Fail(error);
      } catch (...) {
        operation->Fail(PlatformError(kEOutOfMemory));
      }
    });
    if (!queued) operation->Fail(PlatformError(kEFail));
    return operation;
  }
};

// Created on first use; the owner it starts lives while its connection does
// and is replaced by the next placement after that. `mutex_` guards it.
class X11Clipboard : public Clipboard {
 public:
  bool SetContentWithOptions(const DataPackage& content,
                             const ClipboardContentOptions& options) override {
    if (!content.text()) throw PlatformError(kFormatNotAvailable);
    std::u16string_view text = content.text()->view();
    auto bytes = std::make_shared<Buffer>();
    bytes->Resize(ConvertUtf16ToUtf8(text, [&bytes](size_t size) {
      bytes->Resize(size);
      return reinterpret_cast<char*>(bytes->data());
    }));
    return Owner()->Place(std::move(bytes), !options.IsAllowedInHistory());
  }

  std::shared_ptr<DataPackageView> GetContent() override {
    return std::make_shared<X11DataPackageView>();
  }

  void Clear() override { Owner()->GiveUp(); }

 private:
  std::shared_ptr<x11::SelectionOwner> Owner() {
    std::lock_guard lock(mutex_);
    if (!owner_ || !owner_->running()) owner_ = x11::SelectionOwner::Start();
    if (!owner_) RaiseNoDisplay();
    return owner_;
  }

  std::mutex mutex_;
  std::shared_ptr<x11::SelectionOwner> owner_;
};

}  // namespace

template <>
Clipboard& DefaultService<Clipboard>() {
  static auto* service = new X11Clipboard();
  return *service;
}

}  // namespace quillmar::platform
