// Wrappers of the host's plug-in registrar. A wrapper lives from
// registration until the host destroys the registrar, and owns the plug-ins
// added to it, its messenger and its texture registrar.
#pragma once

#include <flutter_windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "channel/binary_messenger.h"

namespace quillmar {

// A plug-in object owned by a registrar wrapper.
class Plugin {
 public:
  virtual ~Plugin() = default;
};

// Textures are part of the registrar's API; nothing here uses them.
class TextureRegistrar {
 public:
  virtual ~TextureRegistrar() = default;
};

class TextureRegistrarImpl : public TextureRegistrar {
 public:
  explicit TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef registrar)
      : registrar_(registrar) {}
  int64_t RegisterTexture(const FlutterDesktopTextureInfo* info);
  bool MarkTextureFrameAvailable(int64_t texture_id);
  // Asynchronous: `callback` (may be null) runs with `user_data` once the
  // embedding has let go of the texture.
  void UnregisterTexture(int64_t texture_id, void (*callback)(void* user_data) = nullptr,
                         void* user_data = nullptr);

 private:
  FlutterDesktopTextureRegistrarRef registrar_;  // not owned
};

// The view as registration found it. Its window is read once, here: the
// embedding destroys the view before it destroys the registrar, so the view
// handle is never kept.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view);

  // The view's window (an HWND), or null for a host without a view and on
  // systems whose embedding has no windows.
  void* NativeWindow() const { return window_; }

 private:
  void* window_ = nullptr;
};

class PluginRegistrar {
 public:
  explicit PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar);
  virtual ~PluginRegistrar();
  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_; }
  BinaryMessenger* messenger() const { return messenger_.get(); }
  TextureRegistrar* texture_registrar() const { return texture_registrar_.get(); }

  // Takes ownership of `plugin` until the wrapper is destroyed.
  void AddPlugin(std::unique_ptr<Plugin> plugin);
  size_t plugin_count() const { return plugins_.size(); }

 protected:
  // Destroys the plug-ins; wrappers call it first in their destructor.
  void ClearPlugins();

 private:
  FlutterDesktopPluginRegistrarRef registrar_;  // not owned
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  std::unique_ptr<TextureRegistrarImpl> texture_registrar_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

class PluginRegistrarWindows : public PluginRegistrar {
 public:
  explicit PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar);
  // Plug-ins go first, then the view and the delegates, then the messenger.
  ~PluginRegistrarWindows() override;

  const FlutterView& view() const { return *view_; }

 private:
  std::unique_ptr<FlutterView> view_;
  int next_delegate_id_ = 1;
  std::map<int, void*> window_proc_delegates_;
};

}  // namespace quillmar
