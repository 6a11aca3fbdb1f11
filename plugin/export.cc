#include "plugin/registration.h"
#include "windows/include/quillmar_core_windows/quillmar_core_windows.h"

extern "C" void QuillmarCoreWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  quillmar::RegisterWithRegistrar(registrar);
}
