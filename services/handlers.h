// Method handlers of the system services subsystem.
#pragma once

#include <memory>

#include "channel/encodable_value.h"
#include "channel/method_result.h"

namespace quillmar {

void HandleCopySensitiveDataToClipboard(const EncodableValue* arguments,
                                        std::unique_ptr<MethodResult> result);
void HandleGetDeviceType(const EncodableValue* arguments, std::unique_ptr<MethodResult> result);
void HandleGetSystemProxyConfig(const EncodableValue* arguments,
                                std::unique_ptr<MethodResult> result);
void HandleInstallStoreUpdate(const EncodableValue* arguments,
                              std::unique_ptr<MethodResult> result);

}  // namespace quillmar
