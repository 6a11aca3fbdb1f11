// Reading CLIPBOARD as any X client does: ask the owner to convert the
// selection into a property of our window, then read (and delete) that
// property, in pieces when the owner sends it incrementally (INCR).
#include <X11/Xatom.h>

#include <climits>
#include <cstring>

#include "platform/clipboard.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/platform_error.h"

namespace quillmar::platform::x11 {
namespace {

[[noreturn]] void RaiseBroken() {
  throw PlatformError(kClipboardCantOpen, PlatformString(u"The X display connection was lost."));
}

[[noreturn]] void RaiseNoAnswer() {
  throw PlatformError(kClipboardTimeout,
                      PlatformString(u"The clipboard's owner did not answer in time."));
}

std::chrono::steady_clock::time_point AnswerDeadline() {
  return std::chrono::steady_clock::now() + kOwnerAnswerTimeout;
}

size_t ItemSize(int format) {
  switch (format) {
    case 16:
      return sizeof(short);
    case 32:
      return sizeof(long);
    default:
      return 1;
  }
}

// Property data as Xlib returns it: the items and the terminating zero it
// adds. Wiped before XFree on every path, failures included: it may hold
// the clipboard's text.
class PropertyItems {
 public:
  PropertyItems() = default;
  PropertyItems(const PropertyItems&) = delete;
  PropertyItems& operator=(const PropertyItems&) = delete;
  ~PropertyItems() {
    if (items_ == nullptr) return;
    SecureWipe(items_, size_ + 1);
    XFree(items_);
  }

  unsigned char** receive() { return &items_; }
  // Records the size once XGetWindowProperty has said what it returned.
  void set_size(size_t size) { size_ = size; }
  const unsigned char* data() const { return items_; }

 private:
  unsigned char* items_ = nullptr;
  size_t size_ = 0;
};

// Reads and deletes the transfer property; appends its items to `*data`.
// False when there is no such property.
bool TakeProperty(Connection& connection, SelectionData* data, unsigned long* item_count) {
  Atom type = None;
  int format = 0;
  unsigned long bytes_after = 0;
  *item_count = 0;
  PropertyItems items;
  int status = XGetWindowProperty(
      connection.display(), connection.window(), connection.atoms().transfer, 0, LONG_MAX / 4, True,
      AnyPropertyType, &type, &format, item_count, &bytes_after, items.receive());
  size_t size = *item_count * ItemSize(format);
  items.set_size(size);
  if (connection.broken()) RaiseBroken();
  if (status != Success || type == None) return false;
  // A fresh buffer, so that the one it replaces is wiped rather than left
  // behind by a reallocation.
  Buffer joined(data->bytes.size() + size);
  if (!data->bytes.empty()) std::memcpy(joined.data(), data->bytes.data(), data->bytes.size());
  if (size != 0) std::memcpy(joined.data() + data->bytes.size(), items.data(), size);
  data->bytes = std::move(joined);
  data->type = type;
  data->format = format;
  return true;
}

bool IsNewTransferValue(const Connection& connection, const XEvent& event) {
  return event.type == PropertyNotify && event.xproperty.window == connection.window() &&
         event.xproperty.atom == connection.atoms().transfer &&
         event.xproperty.state == PropertyNewValue;
}

// The owner has announced an incremental transfer; each property we
// delete asks for the next piece, and an empty piece ends it.
SelectionData ReadIncrementally(Connection& connection) {
  SelectionData data;
  for (;;) {
    XEvent event;
    if (!connection.WaitForEvent([&](const XEvent& e) { return IsNewTransferValue(connection, e); },
                                 AnswerDeadline(), &event)) {
      if (connection.broken()) RaiseBroken();
      RaiseNoAnswer();
    }
    unsigned long item_count = 0;
    if (!TakeProperty(connection, &data, &item_count)) continue;
    if (item_count == 0) return data;
  }
}

}  // namespace

std::optional<SelectionData> ReadSelection(Connection& connection, Atom target) {
  Display* display = connection.display();
  const Atoms& atoms = connection.atoms();
  if (XGetSelectionOwner(display, atoms.clipboard) == None) {
    if (connection.broken()) RaiseBroken();
    return std::nullopt;
  }
  XDeleteProperty(display, connection.window(), atoms.transfer);
  XConvertSelection(display, atoms.clipboard, target, atoms.transfer, connection.window(),
                    CurrentTime);
  XEvent event;
  bool answered = connection.WaitForEvent(
      [&](const XEvent& e) {
        return e.type == SelectionNotify && e.xselection.requestor == connection.window() &&
               e.xselection.selection == atoms.clipboard;
      },
      AnswerDeadline(), &event);
  if (!answered) {
    if (connection.broken()) RaiseBroken();
    RaiseNoAnswer();
  }
  if (event.xselection.property == None) return std::nullopt;
  SelectionData data;
  unsigned long item_count = 0;
  if (!TakeProperty(connection, &data, &item_count)) return std::nullopt;
  if (data.type == atoms.incr) return ReadIncrementally(connection);
  return data;
}

std::vector<Atom> ReadTargets(Connection& connection) {
  std::optional<SelectionData> data = ReadSelection(connection, connection.atoms().targets);
  if (!data || data->format != 32) return {};
  std::vector<Atom> targets(data->bytes.size() / sizeof(long));
  for (size_t i = 0; i < targets.size(); ++i) {
    long item = 0;
    std::memcpy(&item, data->bytes.data() + i * sizeof(long), sizeof(long));
    targets[i] = static_cast<Atom>(item);
  }
  return targets;
}

}  // namespace quillmar::platform::x11
