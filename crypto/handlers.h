// Method handlers of the cryptography subsystem.
#pragma once

#include <memory>

#include "channel/encodable_value.h"
#include "channel/method_result.h"

namespace quillmar {

void HandleDeriveBitsFromPassword(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result);
void HandleComputePasswordChallengeResponse(const EncodableValue* arguments,
                                            std::unique_ptr<MethodResult> result);
void HandleEncryptToStringWithKey(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result);
void HandleDecryptStringWithKey(const EncodableValue* arguments,
                                std::unique_ptr<MethodResult> result);
void HandleEncryptToStringWithPassword(const EncodableValue* arguments,
                                       std::unique_ptr<MethodResult> result);
void HandleDecryptStringWithPassword(const EncodableValue* arguments,
                                     std::unique_ptr<MethodResult> result);
void HandleEncryptToStringWithPublicKey(const EncodableValue* arguments,
                                        std::unique_ptr<MethodResult> result);
void HandleDecryptStringWithPrivateKey(const EncodableValue* arguments,
                                       std::unique_ptr<MethodResult> result);
void HandleSignChallenge(const EncodableValue* arguments, std::unique_ptr<MethodResult> result);

}  // namespace quillmar
