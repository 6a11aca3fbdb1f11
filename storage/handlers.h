// Method handlers of the secure item storage subsystem.
#pragma once

#include <memory>

#include "channel/encodable_value.h"
#include "channel/method_result.h"

namespace quillmar {

void HandleGetKeychainItem(const EncodableValue* arguments, std::unique_ptr<MethodResult> result);
// Serves "upsertKeychainItem" and "upsertBiometricSecureItem".
void HandleUpsertKeychainItem(const EncodableValue* arguments,
                              std::unique_ptr<MethodResult> result);
void HandleDeleteKeychainItem(const EncodableValue* arguments,
                              std::unique_ptr<MethodResult> result);
void HandleGetBiometryAvailability(const EncodableValue* arguments,
                                   std::unique_ptr<MethodResult> result);
void HandleGetBiometricSecureItem(const EncodableValue* arguments,
                                  std::unique_ptr<MethodResult> result);

}  // namespace quillmar
