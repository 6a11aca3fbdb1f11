// The host embedding stand-in as C++ objects: an engine with its platform
// thread, the registrar it hands to plug-ins and its messenger. The C API of
// flutter_windows.h and quillmar_host_threads.h is built over these.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "flutter_windows.h"

namespace quillmar::host {

class HostMessenger;
class HostThread;
class HostTextureRegistrar;

// Receives the reply bytes of one delivered message (empty for an empty
// reply). Called at most once, on whatever thread answers, with the
// messenger lock held: it must return quickly and never wait for the host.
using ReplySink = std::function<void(std::vector<uint8_t> reply)>;

// A message the plug-in sent on its own.
struct OutgoingMessage {
  std::string channel;
  std::vector<uint8_t> bytes;
  std::thread::id thread;
  bool with_reply = false;
};

// Answers an outgoing message sent with a reply; null for one sent without.
// An answer handed back is passed to the plug-in on the platform thread; an
// answerer dropped unused answers empty.
using OutgoingAnswer = std::function<void(std::vector<uint8_t> reply)>;
// Called on the platform thread, inside the plug-in's send.
using OutgoingListener = std::function<void(const OutgoingMessage&, OutgoingAnswer)>;

// Created and destroyed by a driver on a thread other than its platform
// thread; its members may be called from any thread. The messenger guards
// what replies share (see host_messenger.h); mutex_ guards the destruction
// handler.
class HostEngine {
 public:
  HostEngine();
  // Tears down in the current Windows embedding's order: the view is
  // destroyed first, then the engine stops (the registrar's destruction
  // handler runs), shuts down, and stops the platform thread after running
  // what is queued. The messenger lives on while plug-in references remain.
  ~HostEngine();
  HostEngine(const HostEngine&) = delete;
  HostEngine& operator=(const HostEngine&) = delete;

  // The registrar, texture registrar and view handles all lead back to the
  // engine; none of them is ever dereferenced as the opaque type.
  FlutterDesktopPluginRegistrarRef registrar() {
    return reinterpret_cast<FlutterDesktopPluginRegistrarRef>(this);
  }
  static HostEngine* FromRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
    return reinterpret_cast<HostEngine*>(registrar);
  }
  FlutterDesktopMessengerRef messenger() const;
  FlutterDesktopTextureRegistrarRef texture_registrar() const;
  // The view, or null once it is destroyed.
  FlutterDesktopViewRef view();
  // The window of the view (an HWND), or null while the engine has none. A
  // destroyed view is a use after free in the real embedding: it is counted,
  // reported, and answered null.
  static void* ViewWindow(FlutterDesktopViewRef view);
  // Destroys the view, as the embedding's view controller does before it
  // destroys the engine. The handle stays readable here only to catch uses.
  void DestroyView();
  int destroyed_view_use_count() const;
  // Gives the view a top-level window owned by the platform thread, as an
  // application's runner does. False where windows do not exist (Linux).
  bool CreateViewWindow();

  // The platform thread: queue a task, or run one and wait for it.
  bool Post(std::function<void()> task);
  bool RunSync(const std::function<void()>& task);
  bool IsPlatformThread() const;

  // Delivers `message` on `channel` on the platform thread; `on_reply` gets
  // the answer. False (sink dropped unused) when the engine has stopped.
  bool Deliver(std::string channel, std::vector<uint8_t> message, ReplySink on_reply);

  // Availability becomes false under the messenger lock; replies still due
  // are dropped and their sinks released unused.
  void Shutdown();
  // Calls the destruction handler with the registrar on the platform
  // thread, once.
  void DestroyRegistrar();
  void SetDestructionHandler(FlutterDesktopOnPluginRegistrarDestroyed handler);

  void SetOutgoingListener(OutgoingListener listener);
  std::vector<OutgoingMessage> outgoing_messages() const;
  // Send, SendWithReply and SetCallback refused off the platform thread.
  int refused_call_count() const;
  // Responses with an unknown or used handle, or after shutdown.
  int bad_response_count() const;

 private:
  HostThread* thread_;                       // one reference
  HostMessenger* messenger_;                 // one reference
  HostTextureRegistrar* texture_registrar_;  // owned
  struct View {
    std::atomic<void*> window{nullptr};
    std::atomic<bool> destroyed{false};
    std::atomic<int> uses_after_destruction{0};
  };
  View view_;  // the view handle points here
  std::mutex mutex_;
  FlutterDesktopOnPluginRegistrarDestroyed destruction_handler_ = nullptr;
  bool registrar_destroyed_ = false;
};

}  // namespace quillmar::host
