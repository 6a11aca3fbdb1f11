// The X11 clipboard backend's parts: a connection to the display, the
// reader that asks the CLIPBOARD selection's owner for its content, and the
// owner that serves the library's own text from a thread of its own.
#pragma once

#include <X11/Xlib.h>
// Xlib's Status macro would rename the platform interfaces' Status members,
// whatever order the headers come in; nothing here uses it.
#undef Status

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/buffer.h"

namespace quillmar::platform::x11 {

// How long the selection's owner has to answer one request.
inline constexpr std::chrono::milliseconds kOwnerAnswerTimeout{2000};

struct Atoms {
  Atom clipboard, targets, timestamp, utf8_string, text, incr, password_hint, transfer, clock;
};

// One connection to the display named by DISPLAY, with an unmapped window
// for selection transfers that reports its property changes. Created and
// used by one thread at a time. A fatal I/O error marks it broken instead
// of ending the process; X protocol errors on it are ignored.
class Connection {
 public:
  // Null when no display can be opened.
  static std::unique_ptr<Connection> Open();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Display* display() const { return display_; }
  Window window() const { return window_; }
  const Atoms& atoms() const { return atoms_; }
  bool broken() const { return broken_; }

  // Waits until `deadline` for an event that `matches`, leaving other
  // events queued; false on timeout or a broken connection.
  bool WaitForEvent(const std::function<bool(const XEvent&)>& matches,
                    std::chrono::steady_clock::time_point deadline, XEvent* event);

 private:
  explicit Connection(Display* display);
  static void OnFatalError(Display* display, void* connection);

  Display* display_;
  Window window_ = None;
  Atoms atoms_{};
  bool broken_ = false;
};

// What an owner gave for one target: its type, its format (8, 16 or 32) and
// its items as Xlib stores them (a long per item of format 32).
struct SelectionData {
  Atom type = None;
  int format = 0;
  Buffer bytes;
};

// Asks the current owner of CLIPBOARD, whoever it is, for `target` and
// collects the answer, incremental transfers included. Absent when the
// selection has no owner or the owner refuses the target. Raises
// kClipboardTimeout when the owner does not answer in time and
// kClipboardCantOpen when the connection breaks.
std::optional<SelectionData> ReadSelection(Connection& connection, Atom target);

// The CLIPBOARD selection's targets; empty when it has no owner or the
// owner does not list them.
std::vector<Atom> ReadTargets(Connection& connection);

// Owns CLIPBOARD for the library. Created by the first placement, on any
// thread; its thread owns the connection, serves requests for the placed
// text and ends when the connection breaks. Place and GiveUp may be called
// from any thread: they queue their work under `mutex_` and wake the thread
// through an eventfd; everything else is touched only by the owner thread.
class SelectionOwner : public std::enable_shared_from_this<SelectionOwner> {
 public:
  // Starts the owner thread on a new connection; null without a display.
  static std::shared_ptr<SelectionOwner> Start();
  ~SelectionOwner();

  // Makes `utf8` the clipboard's text, offered with the password-manager
  // hint when `keep_out_of_history`; true when the server made the library
  // the owner. Raises kClipboardCantOpen once the owner thread has ended.
  bool Place(std::shared_ptr<const Buffer> utf8, bool keep_out_of_history);
  // Leaves CLIPBOARD without an owner, whoever held it. Raises
  // kClipboardCantOpen once the owner thread has ended.
  void GiveUp();
  bool running() const;

  SelectionOwner(std::unique_ptr<Connection> connection, int wake_fd);

 private:
  struct Transfer;

  // Runs `work` on the owner thread and waits for it.
  void RunOnOwnerThread(std::function<void()> work);
  void Run();
  void RunQueuedWork();
  void Handle(const XEvent& event);
  void Serve(const XSelectionRequestEvent& request);
  bool WriteTarget(Window requestor, Atom target, Atom property);
  void WriteText(Window requestor, Atom property, Atom type, std::shared_ptr<const Buffer> bytes);
  void ContinueTransfer(const XPropertyEvent& event);
  void DropStalledTransfers();
  Time AcquireTimestamp();

  std::unique_ptr<Connection> connection_;
  const int wake_fd_;
  size_t chunk_size_ = 0;

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> queue_;  // guarded by mutex_
  bool running_ = true;                      // guarded by mutex_

  // Owner thread only.
  std::shared_ptr<const Buffer> text_;
  bool keep_out_of_history_ = false;
  Time owned_since_ = CurrentTime;
  std::vector<Transfer> transfers_;
};

}  // namespace quillmar::platform::x11
