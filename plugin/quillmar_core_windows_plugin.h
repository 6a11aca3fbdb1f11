// The library's one export, called by the host with its registrar.
#ifndef QUILLMAR_CORE_WINDOWS_PLUGIN_H_
#define QUILLMAR_CORE_WINDOWS_PLUGIN_H_

#include <flutter_windows.h>

#if defined(__cplusplus)
extern "C" {
#endif

__attribute__((visibility("default"))) void QuillmarCoreWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#if defined(__cplusplus)
}  // extern "C"
#endif

#endif  // QUILLMAR_CORE_WINDOWS_PLUGIN_H_
