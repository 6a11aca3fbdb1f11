// The registrant, in the shape the Flutter tool generates for this package.
#include "generated_plugin_registrant.h"

#include <quillmar_core_windows/quillmar_core_windows.h>

void RegisterPlugins(flutter::PluginRegistry* registry) {
  QuillmarCoreWindowsRegisterWithRegistrar(registry->GetRegistrarForPlugin("QuillmarCoreWindows"));
}
