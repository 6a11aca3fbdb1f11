// The embedding's C API over the engine objects.
#include <flutter_windows.h>

#include "host/host_messenger.h"
#include "host/host_texture_registrar.h"
#include "host/include/host_engine.h"

using quillmar::host::HostEngine;
using quillmar::host::HostMessenger;
using quillmar::host::HostTextureRegistrar;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, const size_t message_size) {
  return HostMessenger::FromRef(messenger)->Send("FlutterDesktopMessengerSend", channel, message,
                                                 message_size, nullptr, nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, const size_t message_size,
                                          const FlutterDesktopBinaryReply reply, void* user_data) {
  return HostMessenger::FromRef(messenger)->Send("FlutterDesktopMessengerSendWithReply", channel,
                                                 message, message_size, reply, user_data);
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  HostMessenger::FromRef(messenger)->SendResponse(handle, data, data_length);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  HostMessenger::FromRef(messenger)->SetCallback(channel, callback, user_data);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  HostMessenger::FromRef(messenger)->AddRef();
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  HostMessenger::FromRef(messenger)->Release();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return HostMessenger::FromRef(messenger)->IsAvailable();
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  HostMessenger::FromRef(messenger)->Lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  HostMessenger::FromRef(messenger)->Unlock();
}

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar) {
  return HostEngine::FromRegistrar(registrar)->messenger();
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  return HostEngine::FromRegistrar(registrar)->texture_registrar();
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar, FlutterDesktopOnPluginRegistrarDestroyed callback) {
  HostEngine::FromRegistrar(registrar)->SetDestructionHandler(callback);
}

FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef registrar) {
  return HostEngine::FromRegistrar(registrar)->view();
}

#if defined(_WIN32)
HWND__* FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return static_cast<HWND__*>(HostEngine::ViewWindow(view));
}
#endif

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, const FlutterDesktopTextureInfo*) {
  return HostTextureRegistrar::FromRef(texture_registrar)->Register();
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id,
    void (*callback)(void* user_data), void* user_data) {
  HostTextureRegistrar::FromRef(texture_registrar)->Unregister(texture_id);
  if (callback != nullptr) callback(user_data);
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id) {
  return HostTextureRegistrar::FromRef(texture_registrar)->IsRegistered(texture_id);
}
