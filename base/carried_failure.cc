#include "base/carried_failure.h"

#include <utility>
#include <vector>

namespace quillmar::base {
namespace {

// The failures rethrown on this thread whose handlers may still run.
thread_local std::vector<std::exception_ptr> rethrown;

}  // namespace

void RunCarryingFailure(const std::function<void()>& work, std::promise<std::exception_ptr>& done) {
  try {
    work();
    done.set_value(nullptr);
  } catch (...) {
    done.set_value(std::current_exception());
  }
}

void RethrowCarried(std::exception_ptr failure) {
  // With nothing in flight and no handler running, no earlier failure's
  // object is in use any more.
  if (std::uncaught_exceptions() == 0 && !std::current_exception()) rethrown.clear();
  rethrown.push_back(failure);
  std::rethrow_exception(std::move(failure));
}

}  // namespace quillmar::base
