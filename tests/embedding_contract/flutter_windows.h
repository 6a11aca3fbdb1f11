// The current Flutter Windows embedding's declarations of every function the
// library imports, as its public headers (flutter_export.h,
// flutter_messenger.h, flutter_plugin_registrar.h,
// flutter_texture_registrar.h, flutter_windows.h) give them. A Flutter
// application compiles the package against those headers, not against the
// host stand-in's. Two checks build over this file:
// - the library's sources that call the embedding compile against it in
//   place of the stand-in's header (tests/CMakeLists.txt);
// - tests/host/embedding_contract.cc includes it after the stand-in's
//   header, so a stand-in declaration that differs is a compile error.
#ifndef QUILLMAR_CURRENT_EMBEDDING_TYPES_
#define QUILLMAR_CURRENT_EMBEDDING_TYPES_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(FLUTTER_DESKTOP_IMPLEMENTATION)
#define FLUTTER_EXPORT __declspec(dllexport)
#else
#define FLUTTER_EXPORT __declspec(dllimport)
#endif
#elif defined(FLUTTER_DESKTOP_IMPLEMENTATION)
#define FLUTTER_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_EXPORT
#endif

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct _FlutterPlatformMessageResponseHandle FlutterDesktopMessageResponseHandle;

typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef struct FlutterDesktopTextureInfo FlutterDesktopTextureInfo;

#if defined(__cplusplus)
}  // extern "C"
#endif

#endif  // QUILLMAR_CURRENT_EMBEDDING_TYPES_

// Below: typedefs of pointers and function declarations only, which C++
// accepts again when they are the same and refuses when they differ.
#if defined(__cplusplus)
extern "C" {
#endif

typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopTextureRegistrar* FlutterDesktopTextureRegistrarRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;

typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);
typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);
typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(FlutterDesktopPluginRegistrarRef);

// flutter_messenger.h
FLUTTER_EXPORT bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                                const char* channel, const uint8_t* message,
                                                const size_t message_size);
FLUTTER_EXPORT bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
    const size_t message_size, const FlutterDesktopBinaryReply reply, void* user_data);
FLUTTER_EXPORT void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessageResponseHandle* handle,
    const uint8_t* data, size_t data_length);
FLUTTER_EXPORT void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                                       const char* channel,
                                                       FlutterDesktopMessageCallback callback,
                                                       void* user_data);
FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);

// flutter_plugin_registrar.h
FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_EXPORT FlutterDesktopTextureRegistrarRef
FlutterDesktopRegistrarGetTextureRegistrar(FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_EXPORT void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar, FlutterDesktopOnPluginRegistrarDestroyed callback);

// flutter_texture_registrar.h: unregistration is asynchronous.
FLUTTER_EXPORT int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, const FlutterDesktopTextureInfo* info);
FLUTTER_EXPORT void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id,
    void (*callback)(void* user_data), void* user_data);
FLUTTER_EXPORT bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id);

// flutter_windows.h
FLUTTER_EXPORT FlutterDesktopViewRef
FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar);
#if defined(_WIN32)
// HWND, as windows.h declares it (STRICT).
FLUTTER_EXPORT struct HWND__* FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
#endif

#if defined(__cplusplus)
}  // extern "C"
#endif
