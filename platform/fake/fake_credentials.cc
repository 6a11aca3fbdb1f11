#include "platform/fake/fake_credentials.h"

namespace quillmar::platform::fake {

void FakeCredentialManager::FailNext(Op op, uint32_t status) {
  std::lock_guard lock(mutex_);
  failures_[op].push_back(status);
}

void FakeCredentialManager::RunBeforeNext(Op op, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  actions_[op].push_back(std::move(action));
}

int FakeCredentialManager::calls(Op op) const {
  std::lock_guard lock(mutex_);
  auto entry = calls_.find(op);
  return entry == calls_.end() ? 0 : entry->second;
}

void FakeCredentialManager::Put(const PlatformString& target_name, const Buffer& blob) {
  std::lock_guard lock(mutex_);
  credentials_[std::u16string(target_name.view())] = blob;
}

std::optional<Buffer> FakeCredentialManager::Find(const PlatformString& target_name) const {
  std::lock_guard lock(mutex_);
  auto entry = credentials_.find(std::u16string(target_name.view()));
  if (entry == credentials_.end()) return std::nullopt;
  return entry->second;
}

std::vector<std::u16string> FakeCredentialManager::target_names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> names;
  for (const auto& [name, blob] : credentials_) names.push_back(name);
  return names;
}

uint32_t FakeCredentialManager::Read(const PlatformString& target_name, Buffer* blob) {
  RunAction(Op::kRead);
  std::lock_guard lock(mutex_);
  if (uint32_t status = Enter(Op::kRead)) return status;
  auto entry = credentials_.find(std::u16string(target_name.view()));
  if (entry == credentials_.end()) return kErrorNotFound;
  *blob = entry->second;
  return kErrorSuccess;
}

uint32_t FakeCredentialManager::Write(const PlatformString& target_name, const Buffer& blob) {
  RunAction(Op::kWrite);
  std::lock_guard lock(mutex_);
  if (uint32_t status = Enter(Op::kWrite)) return status;
  credentials_[std::u16string(target_name.view())] = blob;
  return kErrorSuccess;
}

uint32_t FakeCredentialManager::Delete(const PlatformString& target_name) {
  RunAction(Op::kDelete);
  std::lock_guard lock(mutex_);
  if (uint32_t status = Enter(Op::kDelete)) return status;
  return credentials_.erase(std::u16string(target_name.view())) == 0 ? kErrorNotFound
                                                                     : kErrorSuccess;
}

void FakeCredentialManager::RunAction(Op op) {
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

uint32_t FakeCredentialManager::Enter(Op op) {
  ++calls_[op];
  auto& queued = failures_[op];
  if (queued.empty()) return kErrorSuccess;
  uint32_t status = queued.front();
  queued.pop_front();
  return status;
}

}  // namespace quillmar::platform::fake
