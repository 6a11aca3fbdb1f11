// The C API of the host embedding that the plug-in imports: registrar,
// messenger and texture registrar, declared as the current Windows embedding
// declares them (tests/host/embedding_contract.cc holds the check). The host
// stand-in in host/ implements it.
#ifndef QUILLMAR_HOST_FLUTTER_WINDOWS_H_
#define QUILLMAR_HOST_FLUTTER_WINDOWS_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

// The DLL exports its C API by name and its users import it, so that
// Microsoft's linker, which exports nothing unasked, builds the same DLL.
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

typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopTextureRegistrar* FlutterDesktopTextureRegistrarRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;

typedef struct _FlutterPlatformMessageResponseHandle FlutterDesktopMessageResponseHandle;

typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);

typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);

typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(
    FlutterDesktopPluginRegistrarRef registrar);

typedef struct FlutterDesktopTextureInfo FlutterDesktopTextureInfo;

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

FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar);

FLUTTER_EXPORT FlutterDesktopTextureRegistrarRef
FlutterDesktopRegistrarGetTextureRegistrar(FlutterDesktopPluginRegistrarRef registrar);

FLUTTER_EXPORT void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar, FlutterDesktopOnPluginRegistrarDestroyed callback);

FLUTTER_EXPORT FlutterDesktopViewRef
FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar);

#if defined(_WIN32)
// The view's window; null when the host runs without one. Declared on
// windows.h's own HWND type without including windows.h.
struct HWND__;
FLUTTER_EXPORT struct HWND__* FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
#endif

FLUTTER_EXPORT int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, const FlutterDesktopTextureInfo* info);

// Asynchronous: `callback` (may be null) runs with `user_data` once the
// texture is gone.
FLUTTER_EXPORT void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id,
    void (*callback)(void* user_data), void* user_data);

FLUTTER_EXPORT bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id);

#if defined(__cplusplus)
}  // extern "C"
#endif

#endif  // QUILLMAR_HOST_FLUTTER_WINDOWS_H_
