// A decoded method call: the method name and its owned argument value.
#pragma once

#include <memory>
#include <string>

#include "channel/encodable_value.h"

namespace quillmar {

class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<EncodableValue> arguments)
      : method_name_(std::move(method_name)), arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;

  const std::string& method_name() const { return method_name_; }
  // Null when the call carries no argument value.
  const EncodableValue* arguments() const { return arguments_.get(); }

  // Overwrites the argument value's texts and bytes; the call is done with.
  void WipeArguments() noexcept {
    if (arguments_) WipeEncodableValue(arguments_.get());
  }

 private:
  std::string method_name_;
  std::unique_ptr<EncodableValue> arguments_;
};

}  // namespace quillmar
