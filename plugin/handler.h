// The shape of every method handler: the call's argument value (null when
// the method takes none) and the call's owned result, answered exactly once.
#pragma once

#include <memory>

#include "channel/encodable_value.h"
#include "channel/method_result.h"

namespace quillmar {

using MethodHandler = void (*)(const EncodableValue* arguments,
                               std::unique_ptr<MethodResult> result);

}  // namespace quillmar
