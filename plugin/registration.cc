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
  // The consent prompt and the Store's dialog are parented to the view's
  // window, taken when the wrapper was made. The host calls the export on
  // its platform thread, which runs its message loop for as long as the
  // registrar lives.
  AddRegistration(registrar, wrapper->view().NativeWindow(),
                  platform::Current<platform::Apartment>().CaptureMessageLoop());
}

void ForgetRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  RegistrarTable& table = GetRegistrarTable();
  std::unique_ptr<PluginRegistrarWindows> wrapper;
  {
    std::lock_guard lock(table.mutex);
    auto entry = table.wrappers.find(registrar);
    if (entry == table.wrappers.end()) return;
    wrapper = std::move(entry->second);
    table.wrappers.erase(entry);
  }
  ClearPluginChannelOf(wrapper->messenger());
  RemoveRegistration(registrar);
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
