// An in-memory password vault. Each FailNext queues one failure for the next
// call of that operation. Any thread may call it; one mutex guards the state.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/platform_error.h"
#include "platform/vault.h"

namespace quillmar::platform::fake {

class FakeVault : public PasswordVault {
 public:
  enum class Op { kOpen, kRetrieve, kRetrievePassword, kAdd, kRemove };

  void FailNext(Op op, PlatformError error);
  // How often `op` has been called, failed calls included.
  int calls(Op op) const;

  void Put(const PlatformString& resource, const PlatformString& user_name,
           const PlatformString& password);
  std::optional<PlatformString> Find(const PlatformString& resource,
                                     const PlatformString& user_name) const;
  size_t size() const;

  void Open() override;
  PasswordCredential Retrieve(const PlatformString& resource,
                              const PlatformString& user_name) override;
  void RetrievePassword(PasswordCredential* credential) override;
  void Add(const PasswordCredential& credential) override;
  void Remove(const PasswordCredential& credential) override;

 private:
  using Name = std::pair<std::u16string, std::u16string>;
  static Name NameOf(const PlatformString& resource, const PlatformString& user_name);
  // Counts the call and raises its queued failure, if any. Holds mutex_.
  void Enter(Op op);

  mutable std::mutex mutex_;
  std::map<Name, PlatformString> entries_;
  std::map<Op, std::deque<PlatformError>> failures_;
  std::map<Op, int> calls_;
};

}  // namespace quillmar::platform::fake
