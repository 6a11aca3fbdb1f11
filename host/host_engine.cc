#include "host/include/host_engine.h"

#include "base/secret_memory.h"
#include "host/host_messenger.h"
#include "host/host_texture_registrar.h"
#include "host/host_thread.h"
#include "host/report.h"

namespace quillmar::host {

HostEngine::HostEngine()
    : thread_(HostThread::Start()),
      messenger_(new HostMessenger(thread_)),
      texture_registrar_(new HostTextureRegistrar()) {}

HostEngine::~HostEngine() {
  DestroyView();
  DestroyRegistrar();
  Shutdown();
  thread_->Stop();
  thread_->Release();
  messenger_->Release();
  delete texture_registrar_;
}

FlutterDesktopMessengerRef HostEngine::messenger() const { return messenger_->ref(); }

FlutterDesktopTextureRegistrarRef HostEngine::texture_registrar() const {
  return texture_registrar_->ref();
}

bool HostEngine::Post(std::function<void()> task) { return thread_->Post(std::move(task)); }

bool HostEngine::RunSync(const std::function<void()>& task) { return thread_->RunSync(task); }

bool HostEngine::IsPlatformThread() const { return thread_->IsCurrent(); }

FlutterDesktopViewRef HostEngine::view() {
  if (view_.destroyed.load()) return nullptr;
  return reinterpret_cast<FlutterDesktopViewRef>(&view_);
}

void* HostEngine::ViewWindow(FlutterDesktopViewRef view) {
  auto* target = reinterpret_cast<View*>(view);
  if (target->destroyed.load()) {
    target->uses_after_destruction.fetch_add(1);
    ReportHostProblem("a plug-in asked a destroyed view for its window");
    return nullptr;
  }
  return target->window.load(std::memory_order_acquire);
}

void HostEngine::DestroyView() { view_.destroyed.store(true); }

int HostEngine::destroyed_view_use_count() const { return view_.uses_after_destruction.load(); }

bool HostEngine::CreateViewWindow() {
#if defined(_WIN32)
  void* window = thread_->ViewWindow();
  view_.window.store(window, std::memory_order_release);
  return window != nullptr;
#else
  return false;
#endif
}

bool HostEngine::Deliver(std::string channel, std::vector<uint8_t> message, ReplySink on_reply) {
  HostMessenger* messenger = messenger_;
  return thread_->Post([messenger, channel = std::move(channel), message = std::move(message),
                        on_reply = std::move(on_reply)]() mutable {
    messenger->DeliverNow(channel, message, std::move(on_reply));
    // Calls carry secrets; the message dies with this task.
    base::SecureWipe(message.data(), message.size());
  });
}

void HostEngine::Shutdown() { messenger_->Shutdown(); }

void HostEngine::SetDestructionHandler(FlutterDesktopOnPluginRegistrarDestroyed handler) {
  std::lock_guard lock(mutex_);
  destruction_handler_ = handler;
}

void HostEngine::DestroyRegistrar() {
  bool ran = thread_->RunSync([this] {
    FlutterDesktopOnPluginRegistrarDestroyed handler = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (registrar_destroyed_) return;
      registrar_destroyed_ = true;
      handler = destruction_handler_;
    }
    if (handler != nullptr) handler(registrar());
  });
  if (!ran) ReportHostProblem("the registrar cannot be destroyed: the platform thread has stopped");
}

void HostEngine::SetOutgoingListener(OutgoingListener listener) {
  messenger_->SetOutgoingListener(std::move(listener));
}

std::vector<OutgoingMessage> HostEngine::outgoing_messages() const {
  return messenger_->outgoing_messages();
}

int HostEngine::refused_call_count() const { return messenger_->refused_call_count(); }

int HostEngine::bad_response_count() const { return messenger_->bad_response_count(); }

}  // namespace quillmar::host
