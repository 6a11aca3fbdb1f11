// A named method channel over a messenger with the standard method codec.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "channel/binary_messenger.h"
#include "channel/method_call.h"
#include "channel/method_result.h"
#include "channel/standard_codec.h"

namespace quillmar {

using MethodCallHandler =
    std::function<void(const MethodCall& call, std::unique_ptr<MethodResult> result)>;

class MethodChannel {
 public:
  MethodChannel(BinaryMessenger* messenger, std::string name, const StandardMethodCodec* codec)
      : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

  const std::string& name() const { return name_; }

  // Installs `handler` for incoming calls, or removes the channel's handler
  // when it is empty. Platform thread only.
  void SetMethodCallHandler(MethodCallHandler handler) const;

  // Sends a call of our own. Without a result nothing waits for a reply; with
  // one, the reply is delivered to it once.
  void InvokeMethod(const std::string& method, std::unique_ptr<EncodableValue> arguments,
                    std::unique_ptr<MethodResult> result = nullptr) const;

 private:
  BinaryMessenger* messenger_;  // not owned
  std::string name_;
  const StandardMethodCodec* codec_;  // not owned
};

}  // namespace quillmar
