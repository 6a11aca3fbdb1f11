// A scripted user consent verifier. Each operation ends with the outcome set
// for its kind (a value, a failure or a cancellation), either before the call
// returns, at once on a thread of its own, or on a thread of its own when the
// test releases it. Created and scripted by the test thread; the operations
// may be started from any thread; one mutex guards the script and records.
// The destructor waits for the completion threads.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/consent_verifier.h"

namespace quillmar::platform::fake {

class FakeUserConsentVerifier : public UserConsentVerifier {
 public:
  enum class Timing { kAtOnce, kOnAnotherThread, kWhenReleased };
  struct Canceled {};
  template <class Result>
  using Outcome = std::variant<Result, PlatformError, Canceled>;

  FakeUserConsentVerifier() = default;
  ~FakeUserConsentVerifier() override;

  void set_timing(Timing timing);
  void set_availability(Outcome<UserConsentVerifierAvailability> outcome);
  void set_verification(Outcome<UserConsentVerificationResult> outcome);

  // Ends every held operation, each on a new thread; returns at once.
  void ReleaseHeld();
  // The messages of the prompts shown so far, and the window each was
  // parented to (null for the plain form).
  std::vector<std::u16string> prompts() const;
  std::vector<void*> prompt_windows() const;
  int availability_checks() const;
  // The threads that ended operations, in order.
  std::vector<std::thread::id> completion_threads() const;

  AsyncOperationPtr<UserConsentVerifierAvailability> CheckAvailabilityAsync() override;
  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationAsync(
      const PlatformString& message) override;
  AsyncOperationPtr<UserConsentVerificationResult> RequestVerificationForWindowAsync(
      void* owner_window, const PlatformString& message) override;

 private:
  template <class Result>
  AsyncOperationPtr<Result> Start(const Outcome<Result>& outcome);
  void RunOnNewThread(std::function<void()> finish);

  mutable std::mutex mutex_;
  Timing timing_ = Timing::kAtOnce;
  Outcome<UserConsentVerifierAvailability> availability_ =
      UserConsentVerifierAvailability::kAvailable;
  Outcome<UserConsentVerificationResult> verification_ = UserConsentVerificationResult::kVerified;
  std::vector<std::u16string> prompts_;
  std::vector<void*> prompt_windows_;
  int availability_checks_ = 0;
  std::vector<std::function<void()>> held_;
  std::vector<std::thread::id> completion_threads_;
  std::vector<std::thread> threads_;
};

}  // namespace quillmar::platform::fake
