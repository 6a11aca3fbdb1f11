#include "platform/fake/fake_consent_verifier.h"

#include <memory>

namespace quillmar::platform::fake {

FakeUserConsentVerifier::~FakeUserConsentVerifier() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& thread : threads) thread.join();
}

void FakeUserConsentVerifier::set_timing(Timing timing) {
  std::lock_guard lock(mutex_);
  timing_ = timing;
}

void FakeUserConsentVerifier::set_availability(Outcome<UserConsentVerifierAvailability> outcome) {
  std::lock_guard lock(mutex_);
  availability_ = std::move(outcome);
}

void FakeUserConsentVerifier::set_verification(Outcome<UserConsentVerificationResult> outcome) {
  std::lock_guard lock(mutex_);
  verification_ = std::move(outcome);
}

void FakeUserConsentVerifier::ReleaseHeld() {
  std::vector<std::function<void()>> held;
  {
    std::lock_guard lock(mutex_);
    held.swap(held_);
  }
  for (auto& finish : held) RunOnNewThread(std::move(finish));
}

std::vector<std::u16string> FakeUserConsentVerifier::prompts() const {
  std::lock_guard lock(mutex_);
  return prompts_;
}

std::vector<void*> FakeUserConsentVerifier::prompt_windows() const {
  std::lock_guard lock(mutex_);
  return prompt_windows_;
}

int FakeUserConsentVerifier::availability_checks() const {
  std::lock_guard lock(mutex_);
  return availability_checks_;
}

std::vector<std::thread::id> FakeUserConsentVerifier::completion_threads() const {
  std::lock_guard lock(mutex_);
  return completion_threads_;
}

AsyncOperationPtr<UserConsentVerifierAvailability>
FakeUserConsentVerifier::CheckAvailabilityAsync() {
  Outcome<UserConsentVerifierAvailability> outcome = UserConsentVerifierAvailability::kAvailable;
  {
    std::lock_guard lock(mutex_);
    ++availability_checks_;
    outcome = availability_;
  }
  return Start(outcome);
}

AsyncOperationPtr<UserConsentVerificationResult> FakeUserConsentVerifier::RequestVerificationAsync(
    const PlatformString& message) {
  return RequestVerificationForWindowAsync(nullptr, message);
}

AsyncOperationPtr<UserConsentVerificationResult>
FakeUserConsentVerifier::RequestVerificationForWindowAsync(void* owner_window,
                                                           const PlatformString& message) {
  Outcome<UserConsentVerificationResult> outcome = UserConsentVerificationResult::kVerified;
  {
    std::lock_guard lock(mutex_);
    prompts_.emplace_back(message.view());
    prompt_windows_.push_back(owner_window);
    outcome = verification_;
  }
  return Start(outcome);
}

template <class Result>
AsyncOperationPtr<Result> FakeUserConsentVerifier::Start(const Outcome<Result>& outcome) {
  auto operation = std::make_shared<AsyncOperation<Result>>();
  auto finish = [this, operation, outcome] {
    {
      std::lock_guard lock(mutex_);
      completion_threads_.push_back(std::this_thread::get_id());
    }
    if (const Result* result = std::get_if<Result>(&outcome)) {
      operation->Complete(*result);
    } else if (const PlatformError* error = std::get_if<PlatformError>(&outcome)) {
      operation->Fail(*error);
    } else {
      operation->Cancel();
    }
  };
  Timing timing;
  {
    std::lock_guard lock(mutex_);
    timing = timing_;
    if (timing == Timing::kWhenReleased) held_.push_back(finish);
  }
  if (timing == Timing::kAtOnce) finish();
  if (timing == Timing::kOnAnotherThread) RunOnNewThread(finish);
  return operation;
}

void FakeUserConsentVerifier::RunOnNewThread(std::function<void()> finish) {
  std::lock_guard lock(mutex_);
  threads_.emplace_back(std::move(finish));
}

}  // namespace quillmar::platform::fake
