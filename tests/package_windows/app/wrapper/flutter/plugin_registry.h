// The one interface of the embedding's C++ wrapper that a generated
// registrant uses: a registrar per plug-in name.
#ifndef QUILLMAR_APP_PLUGIN_REGISTRY_H_
#define QUILLMAR_APP_PLUGIN_REGISTRY_H_

#include <flutter_windows.h>

#include <string>

namespace flutter {

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;
  virtual FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(
      const std::string& plugin_name) = 0;
};

}  // namespace flutter

#endif  // QUILLMAR_APP_PLUGIN_REGISTRY_H_
