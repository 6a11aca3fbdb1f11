// The object through which one method call is answered, once.
#pragma once

#include <string>

#include "channel/encodable_value.h"

namespace quillmar {

class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const EncodableValue& result) { SuccessInternal(&result); }
  void Success() { SuccessInternal(nullptr); }
  void Error(const std::string& code, const std::string& message = std::string(),
             const EncodableValue& details = EncodableValue()) {
    ErrorInternal(code, message, details.IsNull() ? nullptr : &details);
  }
  void NotImplemented() { NotImplementedInternal(); }

 protected:
  virtual void SuccessInternal(const EncodableValue* result) = 0;
  virtual void ErrorInternal(const std::string& code, const std::string& message,
                             const EncodableValue* details) = 0;
  virtual void NotImplementedInternal() = 0;
};

}  // namespace quillmar
