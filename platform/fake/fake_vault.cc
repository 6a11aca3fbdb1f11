#include "platform/fake/fake_vault.h"

namespace quillmar::platform::fake {

void FakeVault::FailNext(Op op, PlatformError error) {
  std::lock_guard lock(mutex_);
  failures_[op].push_back(std::move(error));
}

void FakeVault::RunBeforeNext(Op op, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  actions_[op].push_back(std::move(action));
}

int FakeVault::calls(Op op) const {
  std::lock_guard lock(mutex_);
  auto entry = calls_.find(op);
  return entry == calls_.end() ? 0 : entry->second;
}

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

void FakeVault::Open() {
  RunAction(Op::kOpen);
  std::lock_guard lock(mutex_);
  Enter(Op::kOpen);
}

PasswordCredential FakeVault::Retrieve(const PlatformString& resource,
                                       const PlatformString& user_name) {
  RunAction(Op::kRetrieve);
  std::lock_guard lock(mutex_);
  Enter(Op::kRetrieve);
  if (entries_.count(NameOf(resource, user_name)) == 0) throw PlatformError(kENotFound);
  return {resource, user_name, PlatformString()};
}

void FakeVault::RetrievePassword(PasswordCredential* credential) {
  RunAction(Op::kRetrievePassword);
  std::lock_guard lock(mutex_);
  Enter(Op::kRetrievePassword);
  auto entry = entries_.find(NameOf(credential->resource, credential->user_name));
  if (entry == entries_.end()) throw PlatformError(kENotFound);
  credential->password = entry->second;
}

void FakeVault::Add(const PasswordCredential& credential) {
  RunAction(Op::kAdd);
  std::lock_guard lock(mutex_);
  Enter(Op::kAdd);
  entries_[NameOf(credential.resource, credential.user_name)] = credential.password;
}

bool FakeVault::AddIfMissing(const PasswordCredential& credential) {
  RunAction(Op::kAddIfMissing);
  std::lock_guard lock(mutex_);
  Enter(Op::kAddIfMissing);
  return entries_.emplace(NameOf(credential.resource, credential.user_name), credential.password)
      .second;
}

void FakeVault::Remove(const PasswordCredential& credential) {
  RunAction(Op::kRemove);
  std::lock_guard lock(mutex_);
  Enter(Op::kRemove);
  if (entries_.erase(NameOf(credential.resource, credential.user_name)) == 0) {
    throw PlatformError(kENotFound);
  }
}

FakeVault::Name FakeVault::NameOf(const PlatformString& resource, const PlatformString& user_name) {
  return {std::u16string(resource.view()), std::u16string(user_name.view())};
}

void FakeVault::RunAction(Op op) {
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    auto& queued = actions_[op];
    if (queued.empty()) return;
    action = std::move(queued.front());
    queued.pop_front();
  }
  action();
}

void FakeVault::Enter(Op op) {
  ++calls_[op];
  auto& queued = failures_[op];
  if (queued.empty()) return;
  PlatformError error = std::move(queued.front());
  queued.pop_front();
  throw error;
}

}  // namespace quillmar::platform::fake
