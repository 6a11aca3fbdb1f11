// An in-memory password vault. Each FailNext queues one failure for the next
// call of that operation; each RunBeforeNext queues an action that the next
// call of that operation runs before anything else, outside the mutex (to
// write as another process meanwhile, or to throw and so stop the caller
// there as if its process had died). Any thread may call it; one mutex
// guards the state.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/fake/call_script.h"
#include "platform/platform_error.h"
#include "platform/vault.h"

namespace quillmar::platform::fake {

class FakeVault : public PasswordVault {
 public:
  enum class Op { kOpen, kRetrieve, kRetrievePassword, kAdd, kAddIfMissing, kRemove };

  void FailNext(Op op, PlatformError error);
  void RunBeforeNext(Op op, std::function<void()> action);
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
  // Looks, asks and stores in one step, under the one mutex.
  bool AddIfMissing(const PasswordCredential& credential,
                    const std::function<bool()>& wanted) override;
  void Remove(const PasswordCredential& credential) override;

 private:
  using Name = std::pair<std::u16string, std::u16string>;
  static Name NameOf(const PlatformString& resource, const PlatformString& user_name);
  // Runs the action queued for `op`, then takes mutex_ and raises the
  // call's queued failure, if any. The returned lock holds mutex_.
  std::unique_lock<std::mutex> Enter(Op op);

  mutable std::mutex mutex_;
  std::map<Name, PlatformString> entries_;
  CallScript<Op, PlatformError> script_;
};

}  // namespace quillmar::platform::fake
