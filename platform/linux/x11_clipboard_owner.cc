// The library's CLIPBOARD owner: a thread that answers other clients'
// requests for the placed text until another client takes the selection
// over or the library gives it up. Large texts go out incrementally (INCR).
// Its thread is not base's task-queue thread: it waits on the display's
// events and on queued work at once (poll on the connection and an
// eventfd), which a condition variable cannot do.
#include <X11/Xatom.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <future>
#include <thread>
#include <utility>

#include "base/carried_failure.h"
#include "platform/clipboard.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/platform_error.h"

namespace quillmar::platform::x11 {
namespace {

constexpr size_t kLargestChunk = 256 * 1024;
constexpr std::chrono::seconds kStalledTransfer{5};

[[noreturn]] void RaiseOwnerGone() {
  throw PlatformError(kClipboardCantOpen,
                      PlatformString(u"The clipboard's X display connection was lost."));
}

// ISO Latin-1 for the STRING target; characters beyond it become '?'.
std::shared_ptr<const Buffer> ToLatin1(const Buffer& utf8) {
  PlatformString wide = PlatformString::FromUtf8(
      std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
  std::u16string_view units = wide.view();
  // One byte per code unit at most; the buffer shrinks to what was written.
  auto latin1 = std::make_shared<Buffer>(units.size());
  size_t end = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t unit = units[i];
    bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
                units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
    if (pair) ++i;
    latin1->data()[end++] = unit <= 0xFF ? static_cast<uint8_t>(unit) : '?';
  }
  latin1->Resize(end);
  return latin1;
}

}  // namespace

// An incremental transfer to one requestor: each time the requestor
// deletes the property, the next piece is written; an empty piece ends it.
struct SelectionOwner::Transfer {
  Window requestor;
  Atom property;
  Atom type;
  std::shared_ptr<const Buffer> bytes;
  size_t sent = 0;
  std::chrono::steady_clock::time_point last_step;
};

std::shared_ptr<SelectionOwner> SelectionOwner::Start() {
  std::unique_ptr<Connection> connection = Connection::Open();
  if (!connection) return nullptr;
  int wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd < 0) return nullptr;
  auto owner = std::make_shared<SelectionOwner>(std::move(connection), wake_fd);
  std::thread([owner] { owner->Run(); }).detach();
  return owner;
}

SelectionOwner::SelectionOwner(std::unique_ptr<Connection> connection, int wake_fd)
    : connection_(std::move(connection)), wake_fd_(wake_fd) {
  long max_request = XExtendedMaxRequestSize(connection_->display());
  if (max_request == 0) max_request = XMaxRequestSize(connection_->display());
  // Room for the request's own header, in 4-byte units.
  chunk_size_ = std::min(kLargestChunk, static_cast<size_t>(max_request - 64) * 4);
}

SelectionOwner::~SelectionOwner() { close(wake_fd_); }

bool SelectionOwner::running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void SelectionOwner::RunOnOwnerThread(std::function<void()> work) {
  auto done = std::make_shared<std::promise<std::exception_ptr>>();
  std::future<std::exception_ptr> finished = done->get_future();
  {
    std::lock_guard lock(mutex_);
    if (!running_) RaiseOwnerGone();
    // A failure of the work goes back to the waiting caller; nothing may
    // escape the owner thread.
    queue_.push_back([work = std::move(work), done] { base::RunCarryingFailure(work, *done); });
  }
  uint64_t one = 1;
  if (write(wake_fd_, &one, sizeof(one)) < 0) {
    // The counter is already set; the thread wakes anyway.
  }
  std::exception_ptr failure;
  try {
    failure = finished.get();
  } catch (const std::future_error&) {
    RaiseOwnerGone();  // the thread ended before it got to the work
  }
  if (failure) base::RethrowCarried(std::move(failure));
}

bool SelectionOwner::Place(std::shared_ptr<const Buffer> utf8, bool keep_out_of_history) {
  bool owned = false;
  RunOnOwnerThread([&] {
    Display* display = connection_->display();
    Atom clipboard = connection_->atoms().clipboard;
    Time now = AcquireTimestamp();
    XSetSelectionOwner(display, clipboard, connection_->window(), now);
    owned = XGetSelectionOwner(display, clipboard) == connection_->window();
    text_ = owned ? std::move(utf8) : nullptr;
    keep_out_of_history_ = keep_out_of_history;
    owned_since_ = now;
  });
  return owned;
}

void SelectionOwner::GiveUp() {
  RunOnOwnerThread([&] {
    XSetSelectionOwner(connection_->display(), connection_->atoms().clipboard, None, CurrentTime);
    XSync(connection_->display(), False);
    text_ = nullptr;
  });
}

void SelectionOwner::Run() {
  Display* display = connection_->display();
  while (!connection_->broken()) {
    RunQueuedWork();
    while (!connection_->broken() && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      try {
        Handle(event);
      } catch (...) {
        // A request that cannot be served (memory ran out) goes unanswered;
        // the owner keeps serving the others.
      }
    }
    DropStalledTransfers();
    XFlush(display);
    if (connection_->broken()) break;
    pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    poll(waits, 2, transfers_.empty() ? -1 : 1000);
    uint64_t count = 0;
    if (read(wake_fd_, &count, sizeof(count)) < 0) {
      // Nothing was queued.
    }
  }
  std::deque<std::function<void()>> abandoned;
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    abandoned.swap(queue_);
  }
  text_ = nullptr;
  transfers_.clear();
  // `abandoned` goes here; its waiters learn that the thread has ended.
}

void SelectionOwner::RunQueuedWork() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}

void SelectionOwner::Handle(const XEvent& event) {
  switch (event.type) {
    case SelectionRequest:
      Serve(event.xselectionrequest);
      break;
    case SelectionClear:
      // A clear can be older than a placement made since; only one that
      // still holds drops the text.
      if (event.xselectionclear.selection == connection_->atoms().clipboard &&
          XGetSelectionOwner(connection_->display(), connection_->atoms().clipboard) !=
              connection_->window()) {
        text_ = nullptr;
      }
      break;
    case PropertyNotify:
      if (event.xproperty.state == PropertyDelete) ContinueTransfer(event.xproperty);
      break;
    default:
      break;
  }
}

// Answers one request; a target it cannot give is refused (property None).
void SelectionOwner::Serve(const XSelectionRequestEvent& request) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = request.display;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  reply.property = None;
  // Obsolete clients name no property; the target then serves as one.
  Atom property = request.property != None ? request.property : request.target;
  // Server times wrap around after 49 days; compare them as a difference.
  bool current = request.time == CurrentTime ||
                 static_cast<int32_t>(static_cast<uint32_t>(request.time - owned_since_)) >= 0;
  if (text_ && request.selection == connection_->atoms().clipboard && current &&
      WriteTarget(request.requestor, request.target, property)) {
    reply.property = property;
  }
  XSendEvent(connection_->display(), request.requestor, False, NoEventMask,
             reinterpret_cast<XEvent*>(&reply));
}

bool SelectionOwner::WriteTarget(Window requestor, Atom target, Atom property) {
  Display* display = connection_->display();
  const Atoms& atoms = connection_->atoms();
  if (target == atoms.targets) {
    std::vector<Atom> offered = {atoms.targets, atoms.timestamp, atoms.utf8_string, XA_STRING,
                                 atoms.text};
    if (keep_out_of_history_) offered.push_back(atoms.password_hint);
    XChangeProperty(display, requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered.data()),
                    static_cast<int>(offered.size()));
    return true;
  }
  if (target == atoms.timestamp) {
    long since = static_cast<long>(owned_since_);
    XChangeProperty(display, requestor, property, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&since), 1);
    return true;
  }
  if (target == atoms.utf8_string || target == atoms.text) {
    WriteText(requestor, property, atoms.utf8_string, text_);
    return true;
  }
  if (target == XA_STRING) {
    WriteText(requestor, property, XA_STRING, ToLatin1(*text_));
    return true;
  }
  if (target == atoms.password_hint && keep_out_of_history_) {
    static constexpr unsigned char kSecret[] = {'s', 'e', 'c', 'r', 'e', 't'};
    XChangeProperty(display, requestor, property, atoms.password_hint, 8, PropModeReplace, kSecret,
                    sizeof(kSecret));
    return true;
  }
  return false;
}

void SelectionOwner::WriteText(Window requestor, Atom property, Atom type,
                               std::shared_ptr<const Buffer> bytes) {
  Display* display = connection_->display();
  if (bytes->size() <= chunk_size_) {
    XChangeProperty(display, requestor, property, type, 8, PropModeReplace, bytes->data(),
                    static_cast<int>(bytes->size()));
    return;
  }
  // Too large for one request: announce the size and send it piece by
  // piece as the requestor takes each one.
  XSelectInput(display, requestor, PropertyChangeMask);
  long size = static_cast<long>(std::min<size_t>(bytes->size(), LONG_MAX));
  XChangeProperty(display, requestor, property, connection_->atoms().incr, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&size), 1);
  transfers_.push_back(
      {requestor, property, type, std::move(bytes), 0, std::chrono::steady_clock::now()});
}

void SelectionOwner::ContinueTransfer(const XPropertyEvent& event) {
  auto transfer = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) {
    return t.requestor == event.window && t.property == event.atom;
  });
  if (transfer == transfers_.end()) return;
  size_t piece = std::min(chunk_size_, transfer->bytes->size() - transfer->sent);
  XChangeProperty(connection_->display(), transfer->requestor, transfer->property, transfer->type,
                  8, PropModeReplace, transfer->bytes->data() + transfer->sent,
                  static_cast<int>(piece));
  transfer->sent += piece;
  transfer->last_step = std::chrono::steady_clock::now();
  if (piece != 0) return;
  Window requestor = transfer->requestor;
  transfers_.erase(transfer);
  bool more = std::any_of(transfers_.begin(), transfers_.end(),
                          [&](const Transfer& t) { return t.requestor == requestor; });
  if (!more) XSelectInput(connection_->display(), requestor, NoEventMask);
}

// A requestor that stopped taking pieces (or quit) is given up on.
void SelectionOwner::DropStalledTransfers() {
  auto now = std::chrono::steady_clock::now();
  std::erase_if(transfers_,
                [&](const Transfer& t) { return now - t.last_step > kStalledTransfer; });
}

// A server time for taking the selection: the time stamp of a change to a
// property of our own window.
Time SelectionOwner::AcquireTimestamp() {
  Display* display = connection_->display();
  const Atoms& atoms = connection_->atoms();
  XChangeProperty(display, connection_->window(), atoms.clock, XA_INTEGER, 32, PropModeAppend,
                  nullptr, 0);
  XEvent event;
  bool stamped = connection_->WaitForEvent(
      [&](const XEvent& e) {
        return e.type == PropertyNotify && e.xproperty.window == connection_->window() &&
               e.xproperty.atom == atoms.clock;
      },
      std::chrono::steady_clock::now() + kOwnerAnswerTimeout, &event);
  return stamped ? event.xproperty.time : CurrentTime;
}

}  // namespace quillmar::platform::x11
