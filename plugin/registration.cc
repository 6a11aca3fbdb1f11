#include "plugin/registration.h"

#include <map>
#include <memory>
#include <mutex>

#include "channel/plugin_registrar.h"
#include "common/registration_state.h"
#include "platform/apartment.h"
#include "platform/service_registry.h"
#include "plugin/plugin_channel.h"
#include "plugin/quillmar_core_windows.h"

namespace quillmar {
namespace {

struct RegistrarTable {
  std::mutex mutex;
  std::map<FlutterDesktopPluginRegistrarRef, std::unique_ptr<PluginRegistrarWindows>> wrappers;
  // The platform thread's message loop each registration captured.
  std::map<FlutterDesktopPluginRegistrarRef, const platform::WorkQueue*> threads;
};

RegistrarTable& GetRegistrarTable() {
  static auto* table = new RegistrarTable();
  return *table;
}

PluginRegistrarWindows* FindOrCreateWrapper(FlutterDesktopPluginRegistrarRef registrar) {
  RegistrarTable& table = GetRegistrarTable();
  auto wrapper = std::make_unique<PluginRegistrarWindows>(registrar);
  PluginRegistrarWindows* found = nullptr;
  {
    std::lock_guard lock(table.mutex);
    auto [entry, inserted] = table.wrappers.try_emplace(registrar, nullptr);
    if (inserted) entry->second = std::move(wrapper);
    found = entry->second.get();
  }
  // A wrapper made for a handle already in the table is dropped here; it
  // installed no callbacks.
  wrapper.reset();
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar, ForgetRegistrar);
  return found;
}

}  // namespace

void RegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  PluginRegistrarWindows* wrapper = FindOrCreateWrapper(registrar);
  auto channel = std::make_unique<MethodChannel>(wrapper->messenger(), base::kChannelName,
                                                 &StandardMethodCodec::GetInstance());
  const MethodChannel* channel_ptr = channel.get();
  SetPluginChannel(std::move(channel), wrapper->messenger());
  SetOwnCallSender(SendThroughPluginChannel);
  auto plugin = std::make_unique<QuillmarCoreWindows>();
  QuillmarCoreWindows* plugin_ptr = plugin.get();
  channel_ptr->SetMethodCallHandler(
      [plugin_ptr](const MethodCall& call, std::unique_ptr<MethodResult> result) {
        plugin_ptr->DispatchMethodCall(call, std::move(result));
      });
  wrapper->AddPlugin(std::move(plugin));
  // The consent prompt and the Store's dialog are parented to this window; a
  // registrar without a view leaves an earlier registrar's window in place.
  if (void* window = wrapper->view().NativeWindow()) SetHostWindow(window);
  // The host calls the export on its platform thread, which runs its
  // message loop for as long as the registrar lives.
  if (std::shared_ptr<platform::WorkQueue> thread =
          platform::Current<platform::Apartment>().CaptureMessageLoop()) {
    RegistrarTable& table = GetRegistrarTable();
    {
      std::lock_guard lock(table.mutex);
      table.threads[registrar] = thread.get();
    }
    SetHostThread(std::move(thread));
  }
}

void ForgetRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  RegistrarTable& table = GetRegistrarTable();
  std::unique_ptr<PluginRegistrarWindows> wrapper;
  const platform::WorkQueue* thread = nullptr;
  {
    std::lock_guard lock(table.mutex);
    auto entry = table.wrappers.find(registrar);
    if (entry == table.wrappers.end()) return;
    wrapper = std::move(entry->second);
    table.wrappers.erase(entry);
    if (auto captured = table.threads.find(registrar); captured != table.threads.end()) {
      thread = captured->second;
      table.threads.erase(captured);
    }
  }
  ClearPluginChannelOf(wrapper->messenger());
  if (thread != nullptr) ClearHostThread(thread);
  void* window = wrapper->view().NativeWindow();
  if (window != nullptr) ClearHostWindow(window);
  wrapper.reset();
}

size_t RegistrarCount() {
  RegistrarTable& table = GetRegistrarTable();
  std::lock_guard lock(table.mutex);
  return table.wrappers.size();
}

size_t PluginCountOf(FlutterDesktopPluginRegistrarRef registrar) {
  RegistrarTable& table = GetRegistrarTable();
  std::lock_guard lock(table.mutex);
  auto entry = table.wrappers.find(registrar);
  return entry == table.wrappers.end() ? 0 : entry->second->plugin_count();
}

}  // namespace quillmar
