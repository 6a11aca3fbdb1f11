#include "common/awaiter.h"

namespace quillmar {

ResumeRule ChooseResumeRule(const platform::ObjectContext* captured,
                            platform::ApartmentType captured_type) {
  if (captured == nullptr || captured->IsCurrent()) return ResumeRule::kInline;
  if (captured_type == platform::ApartmentType::kMultiThreaded) {
    return ResumeRule::kPoolForMultithreaded;
  }
  platform::ApartmentType here = platform::ApartmentType::kMultiThreaded;
  if (platform::Current<platform::Apartment>().QueryApartmentType(&here) &&
      here != platform::ApartmentType::kMultiThreaded) {
    return ResumeRule::kPoolEntersContext;
  }
  return ResumeRule::kEnterFromCaller;
}

void ResumeByRule(ResumeRule rule, std::coroutine_handle<> handle,
                  std::shared_ptr<platform::ObjectContext> captured,
                  platform::HResult* enter_failure) {
  auto enter_and_resume = [handle, captured, enter_failure] {
    platform::HResult result = captured->Enter([handle] { handle.resume(); });
    if (result != platform::kSOk) {
      *enter_failure = result;
      handle.resume();
    }
  };
  switch (rule) {
    case ResumeRule::kInline:
      handle.resume();
      return;
    case ResumeRule::kPoolForMultithreaded:
      if (!platform::Current<platform::ThreadPool>().Submit([handle] { handle.resume(); })) {
        handle.resume();
      }
      return;
    case ResumeRule::kPoolEntersContext:
      if (!platform::Current<platform::ThreadPool>().Submit(enter_and_resume)) {
        enter_and_resume();
      }
      return;
    case ResumeRule::kEnterFromCaller:
      enter_and_resume();
      return;
  }
}

}  // namespace quillmar
