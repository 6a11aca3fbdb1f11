// A failure caught on one thread and thrown again on the thread that waits
// for the work.
#pragma once

#include <exception>
#include <functional>
#include <future>

namespace quillmar::base {

// Runs `work` and answers `done` with what it threw, or with nothing: the
// waiter gets the failure as a value and throws it with RethrowCarried.
void RunCarryingFailure(const std::function<void()>& work, std::promise<std::exception_ptr>& done);

// Throws `failure` on the calling thread. The exception_ptr is kept alive
// on this thread until no exception is in flight or handled on it: Wine's
// msvcp140 raises the exception_ptr's own object rather than a copy, so a
// handler reached after unwinding released the last exception_ptr (a
// future or promise local to the waiting function) would read freed memory.
[[noreturn]] void RethrowCarried(std::exception_ptr failure);

}  // namespace quillmar::base
