// The plug-in's one export, as the Flutter tool's generated registrant
// includes and calls it.
#ifndef QUILLMAR_CORE_WINDOWS_QUILLMAR_CORE_WINDOWS_H_
#define QUILLMAR_CORE_WINDOWS_QUILLMAR_CORE_WINDOWS_H_

#include <flutter_windows.h>

// Exported when the plug-in itself is built, imported by the application.
// GCC and Clang honour __declspec on Windows too; elsewhere the plug-in is a
// shared object whose symbols are hidden unless marked.
#if defined(_WIN32)
#if defined(QUILLMAR_CORE_WINDOWS_IMPLEMENTATION)
#define QUILLMAR_PLUGIN_EXPORT __declspec(dllexport)
#else
#define QUILLMAR_PLUGIN_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define QUILLMAR_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define QUILLMAR_PLUGIN_EXPORT
#endif

#if defined(__cplusplus)
extern "C" {
#endif

QUILLMAR_PLUGIN_EXPORT void QuillmarCoreWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#if defined(__cplusplus)
}  // extern "C"
#endif

#endif  // QUILLMAR_CORE_WINDOWS_QUILLMAR_CORE_WINDOWS_H_
