// Handlers whose subsystem has not landed yet answer NotImplemented.
#include "services/handlers.h"

namespace quillmar {

void HandleCopySensitiveDataToClipboard(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleGetDeviceType(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleGetSystemProxyConfig(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleInstallStoreUpdate(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }

}  // namespace quillmar
