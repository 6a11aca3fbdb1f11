// The DLL's entry points: the activation factories by class name, the
// live-object counter, platform strings and the stand-in's own thread.
#include <activation.h>
#include <windows.h>
#include <winstring.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "async_operation.h"
#include "factories.h"
#include "object.h"
#include "state.h"

namespace quillmar::standin {
namespace {

std::atomic<long> live_objects{0};

// The stand-in's thread: a queue of work, each item due at its time, run
// in order. Made once and never destroyed: the process ends it.
class StandInThread {
 public:
  using Clock = std::chrono::steady_clock;

  static StandInThread& Get() {
    static StandInThread* thread = new StandInThread();
    return *thread;
  }

  void Submit(long long delay_ms, std::function<void()> work) {
    std::lock_guard lock(mutex_);
    queue_.push_back({Clock::now() + std::chrono::milliseconds(delay_ms), std::move(work)});
    wake_.notify_one();
  }

  DWORD id() const { return id_.load(); }

 private:
  struct Item {
    Clock::time_point due;
    std::function<void()> work;
  };

  StandInThread() {
    std::thread([this] { Run(); }).detach();
    while (id_.load() == 0) Sleep(0);
  }

  void Run() {
    // The runtime completes its operations on threads of the
    // multithreaded apartment.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    id_.store(GetCurrentThreadId());
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !queue_.empty(); });
      Clock::time_point due = queue_.front().due;
      if (Clock::now() < due) {
        wake_.wait_until(lock, due);
        continue;
      }
      Item item = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      item.work();
      item.work = nullptr;
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> queue_;
  std::atomic<DWORD> id_{0};
};

std::atomic<bool> thread_started{false};

}  // namespace

void CountObject(long delta) { live_objects.fetch_add(delta); }
long LiveObjectCount() { return live_objects.load(); }

void RunOnStandInThread(long long delay_ms, std::function<void()> work) {
  thread_started.store(true);
  StandInThread::Get().Submit(delay_ms, std::move(work));
}

DWORD StandInThreadId() { return thread_started.load() ? StandInThread::Get().id() : 0; }

HSTRING MakeString(std::wstring_view text) {
  HSTRING string = nullptr;
  if (FAILED(WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &string))) {
    return nullptr;
  }
  return string;
}

std::wstring FromString(HSTRING text) {
  UINT32 length = 0;
  const wchar_t* units = WindowsGetStringRawBuffer(text, &length);
  return std::wstring(units, length);
}

HRESULT HandOut(std::wstring_view text, HSTRING* out) {
  if (out == nullptr) return E_POINTER;
  return WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), out);
}

}  // namespace quillmar::standin

using namespace quillmar::standin;

// The factory of `class_id`. While the state folder holds no script the
// classes are missing, as on a system without them.
extern "C" HRESULT WINAPI DllGetActivationFactory(HSTRING class_id, IActivationFactory** factory) {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  try {
    if (!state::SwitchedOn()) return REGDB_E_CLASSNOTREG;
    std::wstring name = FromString(class_id);
    for (const FactoryEntry& entry : Factories()) {
      if (name != entry.class_name) continue;
      if (entry.statics_step != nullptr) {
        HRESULT failure = state::Failure(entry.statics_step);
        if (FAILED(failure)) return failure;
      }
      *factory = entry.get();
      return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
  } catch (...) {
    return E_FAIL;
  }
}

// The DLL stays while any object of its lives, and once its thread runs.
extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return LiveObjectCount() == 0 && StandInThreadId() == 0 ? S_OK : S_FALSE;
}

extern "C" long QuillmarStandInLiveObjects() { return LiveObjectCount(); }
