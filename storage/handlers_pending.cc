// Handlers whose subsystem has not landed yet answer NotImplemented.
#include "storage/handlers.h"

namespace quillmar {

void HandleGetKeychainItem(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleUpsertKeychainItem(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleDeleteKeychainItem(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleGetBiometryAvailability(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleGetBiometricSecureItem(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }

}  // namespace quillmar
