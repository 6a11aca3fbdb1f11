// The plug-in object and its dispatcher.
#pragma once

#include <memory>

#include "channel/method_call.h"
#include "channel/method_result.h"
#include "channel/plugin_registrar.h"

namespace quillmar {

class QuillmarCoreWindows : public Plugin {
 public:
  // Answers `call` through `result`, once: by the handler of the first table
  // entry whose name equals the method name byte for byte, NotImplemented
  // when none does, or a "QUILLMAR_NATIVE_CPP_EXCEPTION" error when a
  // failure escapes the handler.
  void DispatchMethodCall(const MethodCall& call, std::unique_ptr<MethodResult> result);
};

// "isKeychainSecure": true on Windows 10.0 or later.
void HandleIsKeychainSecure(const EncodableValue* arguments, std::unique_ptr<MethodResult> result);

}  // namespace quillmar
