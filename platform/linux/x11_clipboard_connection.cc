// Connections to the X display. Xlib's error handlers are process-wide and
// end the process by default; the ones installed here keep errors on the
// clipboard's own connections quiet and pass every other to the handler
// that was there before.
#include <poll.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "platform/linux/x11_clipboard.h"

namespace quillmar::platform::x11 {
namespace {

struct ErrorHandlers {
  std::mutex mutex;
  std::set<Display*> ours;
  XErrorHandler previous_error = nullptr;
  XIOErrorHandler previous_fatal = nullptr;
};

ErrorHandlers& Handlers() {
  static auto* handlers = new ErrorHandlers();
  return *handlers;
}

bool IsOurs(Display* display) {
  ErrorHandlers& handlers = Handlers();
  std::lock_guard lock(handlers.mutex);
  return handlers.ours.count(display) != 0;
}

// A request that names a window gone meanwhile (a requestor that quit) is
// no reason to stop serving.
int OnProtocolError(Display* display, XErrorEvent* error) {
  if (IsOurs(display)) return 0;
  XErrorHandler previous = Handlers().previous_error;
  return previous != nullptr ? previous(display, error) : 0;
}

int OnFatalIoError(Display* display) {
  if (IsOurs(display)) return 0;
  XIOErrorHandler previous = Handlers().previous_fatal;
  return previous != nullptr ? previous(display) : 0;
}

void InstallHandlersOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    ErrorHandlers& handlers = Handlers();
    handlers.previous_error = XSetErrorHandler(OnProtocolError);
    handlers.previous_fatal = XSetIOErrorHandler(OnFatalIoError);
  });
}

}  // namespace

std::unique_ptr<Connection> Connection::Open() {
  InstallHandlersOnce();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  return std::unique_ptr<Connection>(new Connection(display));
}

Connection::Connection(Display* display) : display_(display) {
  {
    ErrorHandlers& handlers = Handlers();
    std::lock_guard lock(handlers.mutex);
    handlers.ours.insert(display_);
  }
  XSetIOErrorExitHandler(display_, OnFatalError, this);
  const char* names[] = {"CLIPBOARD",
                         "TARGETS",
                         "TIMESTAMP",
                         "UTF8_STRING",
                         "TEXT",
                         "INCR",
                         "x-kde-passwordManagerHint",
                         "QUILLMAR_SELECTION",
                         "QUILLMAR_CLOCK"};
  Atom atoms[std::size(names)];
  XInternAtoms(display_, const_cast<char**>(names), std::size(names), False, atoms);
  atoms_ = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],
            atoms[5], atoms[6], atoms[7], atoms[8]};
  window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(display_, window_, PropertyChangeMask);
}

Connection::~Connection() {
  if (!broken_) XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
  ErrorHandlers& handlers = Handlers();
  std::lock_guard lock(handlers.mutex);
  handlers.ours.erase(display_);
}

void Connection::OnFatalError(Display*, void* connection) {
  static_cast<Connection*>(connection)->broken_ = true;
}

bool Connection::WaitForEvent(const std::function<bool(const XEvent&)>& matches,
                              std::chrono::steady_clock::time_point deadline, XEvent* event) {
  auto predicate = [](Display*, XEvent* candidate, XPointer wanted) -> Bool {
    return (*reinterpret_cast<const std::function<bool(const XEvent&)>*>(wanted))(*candidate);
  };
  for (;;) {
    if (XCheckIfEvent(display_, event, predicate,
                      reinterpret_cast<XPointer>(
                          const_cast<std::function<bool(const XEvent&)>*>(&matches)))) {
      return true;
    }
    if (broken_) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd socket{ConnectionNumber(display_), POLLIN, 0};
    poll(&socket, 1, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
  }
}

}  // namespace quillmar::platform::x11
