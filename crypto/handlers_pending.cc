// Handlers whose subsystem has not landed yet answer NotImplemented.
#include "crypto/handlers.h"

namespace quillmar {

void HandleDeriveBitsFromPassword(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleComputePasswordChallengeResponse(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleEncryptToStringWithKey(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleDecryptStringWithKey(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleEncryptToStringWithPassword(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleDecryptStringWithPassword(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleEncryptToStringWithPublicKey(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleDecryptStringWithPrivateKey(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }
void HandleSignChallenge(const EncodableValue*, std::unique_ptr<MethodResult> result) { result->NotImplemented(); }

}  // namespace quillmar
