#include "plugin/quillmar_core_windows_plugin.h"
#include "plugin/registration.h"

extern "C" void QuillmarCoreWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  quillmar::RegisterWithRegistrar(registrar);
}
