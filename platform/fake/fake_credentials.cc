#include "platform/fake/fake_credentials.h"

namespace quillmar::platform::fake {

void FakeCredentialManager::FailNext(Op op, uint32_t status) { script_.FailNext(op, status); }

void FakeCredentialManager::RunBeforeNext(Op op, std::function<void()> action) {
  script_.RunBeforeNext(op, std::move(action));
}

int FakeCredentialManager::calls(Op op) const { return script_.calls(op); }

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
  script_.RunAction(Op::kRead);
  std::lock_guard lock(mutex_);
  if (uint32_t status = script_.Enter(Op::kRead).value_or(kErrorSuccess)) return status;
  auto entry = credentials_.find(std::u16string(target_name.view()));
  if (entry == credentials_.end()) return kErrorNotFound;
  *blob = entry->second;
  return kErrorSuccess;
}

uint32_t FakeCredentialManager::Write(const PlatformString& target_name, const Buffer& blob) {
  script_.RunAction(Op::kWrite);
  std::lock_guard lock(mutex_);
  if (uint32_t status = script_.Enter(Op::kWrite).value_or(kErrorSuccess)) return status;
  credentials_[std::u16string(target_name.view())] = blob;
  return kErrorSuccess;
}

uint32_t FakeCredentialManager::Delete(const PlatformString& target_name) {
  script_.RunAction(Op::kDelete);
  std::lock_guard lock(mutex_);
  if (uint32_t status = script_.Enter(Op::kDelete).value_or(kErrorSuccess)) return status;
  return credentials_.erase(std::u16string(target_name.view())) == 0 ? kErrorNotFound
                                                                     : kErrorSuccess;
}

}  // namespace quillmar::platform::fake
