// The process's Win32 thread pool: work through TrySubmitThreadpoolCallback,
// delayed work through a one-shot thread-pool timer that closes itself.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/service_registry.h"
#include "platform/thread_pool.h"

namespace quillmar::platform {
namespace {

// Work must not unwind into the pool's frames; a failure that escapes it
// ends there.
void RunGuarded(std::function<void()>& work) {
  try {
    work();
  } catch (...) {
  }
}

void CALLBACK RunWork(PTP_CALLBACK_INSTANCE, void* context) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(context));
  RunGuarded(*work);
}

struct TimedWork {
  std::function<void()> work;
  PTP_TIMER timer = nullptr;
};

void CALLBACK RunTimedWork(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) {
  std::unique_ptr<TimedWork> timed(static_cast<TimedWork*>(context));
  // The timer fires once; closing it from its own callback frees it once the
  // callback has returned.
  CloseThreadpoolTimer(timed->timer);
  RunGuarded(timed->work);
}

class Win32ThreadPool : public ThreadPool {
 public:
  bool Submit(std::function<void()> work) override {
    auto heap_work = std::make_unique<std::function<void()>>(std::move(work));
    if (!TrySubmitThreadpoolCallback(RunWork, heap_work.get(), nullptr)) return false;
    heap_work.release();
    return true;
  }

  bool SubmitAfter(std::chrono::milliseconds delay, std::function<void()> work) override {
    auto timed = std::make_unique<TimedWork>();
    timed->work = std::move(work);
    timed->timer = CreateThreadpoolTimer(RunTimedWork, timed.get(), nullptr);
    if (timed->timer == nullptr) return false;
    // A negative due time is relative, in units of 100 ns.
    int64_t ticks = -std::max<int64_t>(0, delay.count()) * 10000;
    FILETIME due;
    due.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    due.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    PTP_TIMER timer = timed->timer;
    timed.release();
    SetThreadpoolTimer(timer, &due, 0, 0);
    return true;
  }
};

}  // namespace

template <>
ThreadPool& DefaultService<ThreadPool>() {
  static Win32ThreadPool service;
  return service;
}

}  // namespace quillmar::platform
