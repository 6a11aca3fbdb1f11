#include "channel/plugin_registrar.h"

namespace quillmar {

int64_t TextureRegistrarImpl::RegisterTexture(const FlutterDesktopTextureInfo* info) {
  return FlutterDesktopTextureRegistrarRegisterExternalTexture(registrar_, info);
}

bool TextureRegistrarImpl::MarkTextureFrameAvailable(int64_t texture_id) {
  return FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(registrar_, texture_id);
}

void TextureRegistrarImpl::UnregisterTexture(int64_t texture_id, void (*callback)(void* user_data),
                                             void* user_data) {
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(registrar_, texture_id, callback,
                                                          user_data);
}

PluginRegistrar::PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar)
    : registrar_(registrar),
      messenger_(std::make_unique<BinaryMessengerImpl>(
          FlutterDesktopPluginRegistrarGetMessenger(registrar))),
      texture_registrar_(std::make_unique<TextureRegistrarImpl>(
          FlutterDesktopRegistrarGetTextureRegistrar(registrar))) {}

PluginRegistrar::~PluginRegistrar() { ClearPlugins(); }

void PluginRegistrar::AddPlugin(std::unique_ptr<Plugin> plugin) {
  plugins_.insert(std::move(plugin));
}

void PluginRegistrar::ClearPlugins() { plugins_.clear(); }

FlutterView::FlutterView(FlutterDesktopViewRef view) {
#if defined(_WIN32)
  if (view != nullptr) window_ = FlutterDesktopViewGetHWND(view);
#else
  (void)view;  // an embedding without windows
#endif
}

PluginRegistrarWindows::PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar)
    : PluginRegistrar(registrar),
      view_(std::make_unique<FlutterView>(FlutterDesktopPluginRegistrarGetView(registrar))) {
  (void)next_delegate_id_;
}

PluginRegistrarWindows::~PluginRegistrarWindows() {
  ClearPlugins();
  window_proc_delegates_.clear();
  view_.reset();
}

}  // namespace quillmar
