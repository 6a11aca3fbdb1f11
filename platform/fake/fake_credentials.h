// An in-memory credential manager. Each FailNext queues one Win32 status for
// the next call of that operation; each RunBeforeNext an action that the next
// call of that operation runs first, outside the mutex (see FakeVault). Any
// thread may call it; one mutex guards the state.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/call_script.h"
#include "platform/legacy_credentials.h"

namespace quillmar::platform::fake {

class FakeCredentialManager : public CredentialManager {
 public:
  enum class Op { kRead, kWrite, kDelete };

  void FailNext(Op op, uint32_t status);
  void RunBeforeNext(Op op, std::function<void()> action);
  int calls(Op op) const;

  void Put(const PlatformString& target_name, const Buffer& blob);
  std::optional<Buffer> Find(const PlatformString& target_name) const;
  std::vector<std::u16string> target_names() const;

  uint32_t Read(const PlatformString& target_name, Buffer* blob) override;
  uint32_t Write(const PlatformString& target_name, const Buffer& blob) override;
  uint32_t Delete(const PlatformString& target_name) override;

 private:
  mutable std::mutex mutex_;
  std::map<std::u16string, Buffer> credentials_;
  CallScript<Op, uint32_t> script_;
};

}  // namespace quillmar::platform::fake
