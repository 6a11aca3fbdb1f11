#include "platform/fake/fake_vault.h"

namespace quillmar::platform::fake {

void FakeVault::FailNext(Op op, PlatformError error) { script_.FailNext(op, std::move(error)); }

void FakeVault::RunBeforeNext(Op op, std::function<void()> action) {
  script_.RunBeforeNext(op, std::move(action));
}

int FakeVault::calls(Op op) const { return script_.calls(op); }

void FakeVault::Put(const PlatformString& resource, const PlatformString& user_name,
                    const PlatformString& password) {
  std::lock_guard lock(mutex_);
  entries_[NameOf(resource, user_name)] = password;
}

std::optional<PlatformString> FakeVault::Find(const PlatformString& resource,
                                              const PlatformString& user_name) const {
  std::lock_guard lock(mutex_);
  auto entry = entries_.find(NameOf(resource, user_name));
  if (entry == entries_.end()) return std::nullopt;
  return entry->second;
}

size_t FakeVault::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void FakeVault::Open() { Enter(Op::kOpen); }

PasswordCredential FakeVault::Retrieve(const PlatformString& resource,
                                       const PlatformString& user_name) {
  std::unique_lock lock = Enter(Op::kRetrieve);
  if (entries_.count(NameOf(resource, user_name)) == 0) throw PlatformError(kENotFound);
  return {resource, user_name, PlatformString()};
}

void FakeVault::RetrievePassword(PasswordCredential* credential) {
  std::unique_lock lock = Enter(Op::kRetrievePassword);
  auto entry = entries_.find(NameOf(credential->resource, credential->user_name));
  if (entry == entries_.end()) throw PlatformError(kENotFound);
  credential->password = entry->second;
}

void FakeVault::Add(const PasswordCredential& credential) {
  std::unique_lock lock = Enter(Op::kAdd);
  entries_[NameOf(credential.resource, credential.user_name)] = credential.password;
}

bool FakeVault::AddIfMissing(const PasswordCredential& credential,
                             const std::function<bool()>& wanted) {
  std::unique_lock lock = Enter(Op::kAddIfMissing);
  Name name = NameOf(credential.resource, credential.user_name);
  if (entries_.count(name) != 0 || !wanted()) return false;
  entries_.emplace(std::move(name), credential.password);
  return true;
}

void FakeVault::Remove(const PasswordCredential& credential) {
  std::unique_lock lock = Enter(Op::kRemove);
  if (entries_.erase(NameOf(credential.resource, credential.user_name)) == 0) {
    throw PlatformError(kENotFound);
  }
}

FakeVault::Name FakeVault::NameOf(const PlatformString& resource, const PlatformString& user_name) {
  return {std::u16string(resource.view()), std::u16string(user_name.view())};
}

std::unique_lock<std::mutex> FakeVault::Enter(Op op) {
  script_.RunAction(op);
  std::unique_lock lock(mutex_);
  if (std::optional<PlatformError> error = script_.Enter(op)) throw std::move(*error);
  return lock;
}

}  // namespace quillmar::platform::fake
