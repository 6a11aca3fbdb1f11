#include "plugin/quillmar_core_windows.h"

#include "common/failure_message.h"
#include "platform/service_registry.h"
#include "platform/system_version.h"
#include "plugin/dispatch_table.h"

namespace quillmar {
namespace {

// Lends a result to a handler while the dispatcher keeps the means to answer
// the same call if the handler fails.
class SharedResult : public MethodResult {
 public:
  explicit SharedResult(std::shared_ptr<MethodResult> target) : target_(std::move(target)) {}

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    if (result) {
      target_->Success(*result);
    } else {
      target_->Success();
    }
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override {
    target_->Error(code, message, details ? *details : EncodableValue());
  }
  void NotImplementedInternal() override { target_->NotImplemented(); }

 private:
  std::shared_ptr<MethodResult> target_;
};

}  // namespace

void QuillmarCoreWindows::DispatchMethodCall(const MethodCall& call,
                                             std::unique_ptr<MethodResult> result) {
  std::shared_ptr<MethodResult> shared = std::move(result);
  try {
    for (const DispatchEntry& entry : kDispatchTable) {
      if (call.method_name() != entry.method_name) continue;
      entry.handler(entry.receives_arguments ? call.arguments() : nullptr,
                    std::make_unique<SharedResult>(shared));
      return;
    }
    shared->NotImplemented();
  } catch (...) {
    try {
      shared->Error(kNativeExceptionCode, DescribeCurrentFailure());
    } catch (...) {
      // Nothing may cross the host's C callback; the call then stays unanswered.
    }
  }
}

void HandleIsKeychainSecure(const EncodableValue*, std::unique_ptr<MethodResult> result) {
  bool secure = platform::Current<platform::SystemVersion>().IsAtLeast(10, 0, 0);
  result->Success(EncodableValue(secure));
}

}  // namespace quillmar
