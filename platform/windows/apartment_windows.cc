// COM apartments: a waiting task's context is the calling thread's object
// context (CoGetObjectContext), entered through IContextCallback. Work
// posted to a context runs there in the order it was posted: a pool job
// drains the context's queue, entering the context for each item, so the
// posting thread never blocks.
#include <ctxtcall.h>
#include <objbase.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/apartment.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"

// mingw's uuid library declares these without defining them.
extern "C" const IID IID_IContextCallback = {
    0x000001da, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const GUID IID_ICallbackWithNoReentrancyToApplicationSTA = {
    0x0a299774, 0x3e4e, 0xfc42, {0x1d, 0x9d, 0x72, 0xce, 0xe1, 0x05, 0xca, 0x57}};

namespace quillmar::platform {
namespace {

// The method index ContextCallback expects with the no-reentrancy IID.
constexpr ULONG kNoReentrancyMethod = 5;

HRESULT CALLBACK RunInContext(ComCallData* data) {
  auto* work = static_cast<std::function<void()>*>(data->pUserDefined);
  try {
    (*work)();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

class ComObjectContext : public ObjectContext,
                         public std::enable_shared_from_this<ComObjectContext> {
 public:
  ComObjectContext(IContextCallback* context, ULONG_PTR token) : context_(context), token_(token) {}
  ~ComObjectContext() override { context_->Release(); }

  bool IsCurrent() const override {
    ULONG_PTR current = 0;
    return SUCCEEDED(CoGetContextToken(&current)) && current == token_;
  }

  HResult Enter(std::function<void()> work) override {
    if (IsCurrent()) {
      work();
      return kSOk;
    }
    ComCallData data{};
    data.pUserDefined = &work;
    return context_->ContextCallback(RunInContext, &data,
                                     IID_ICallbackWithNoReentrancyToApplicationSTA,
                                     kNoReentrancyMethod, nullptr);
  }

  bool Post(std::function<void()> work) override {
    bool start_draining = false;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(work));
      start_draining = !draining_;
      draining_ = true;
    }
    if (!start_draining) return true;
    std::shared_ptr<ComObjectContext> self = shared_from_this();
    if (Current<ThreadPool>().Submit([self] { self->Drain(); })) return true;
    std::lock_guard lock(mutex_);
    queue_.clear();
    draining_ = false;
    return false;
  }

 private:
  // Runs the queued work in the context, one item at a time, until the queue
  // is empty. Work the context refuses to take is dropped.
  void Drain() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
          draining_ = false;
          return;
        }
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      Enter(std::move(work));
    }
  }

  IContextCallback* context_;  // one reference
  ULONG_PTR token_;
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
  bool draining_ = false;
};

// A thread's message loop, reached through a message-only window of ours
// made on that thread: posted work arrives as messages, which the loop takes
// in the order they were posted, in any apartment and without
// IContextCallback. Any process of the session can find the window and post
// to it, so a message carries only a number that names work in the queue's
// own table; a number the table does not hold is ignored. The window is
// destroyed on its own thread, when the queue ends.
constexpr UINT kRunPosted = WM_APP + 0x51;
constexpr UINT kEndQueue = WM_APP + 0x52;
constexpr wchar_t kMessageLoopClass[] = L"QuillmarMessageLoopContext";

struct LoopState {
  LoopState(HWND window_made, DWORD thread_made) : window(window_made), thread(thread_made) {}

  const HWND window;
  const DWORD thread;
  std::mutex mutex;
  std::map<LPARAM, std::function<void()>> pending;  // by number, in posting order
  LPARAM next_number = 1;
  bool ending = false;  // the last reference went on another thread
  bool ended = false;
};

using PendingWork = std::map<LPARAM, std::function<void()>>;

void RunOne(std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    // Posted work reports its own failures; the loop goes on.
  }
}

// Refuses further work on `state` and hands over what is pending; nothing
// when it had ended already.
std::optional<PendingWork> Close(LoopState& state) {
  std::lock_guard lock(state.mutex);
  if (state.ended) return std::nullopt;
  state.ended = true;
  return std::exchange(state.pending, {});
}

// Destroys the window, on its thread, then runs the work it had pending.
// A window whose thread has ended is gone already (null).
void Finish(HWND window, PendingWork& pending) {
  if (window != nullptr) DestroyWindow(window);
  for (auto& [number, work] : pending) RunOne(work);
}

// The queues by window, so that a message finds the table of its own window.
class LoopTable {
 public:
  void Add(std::shared_ptr<LoopState> state) {
    std::lock_guard lock(mutex_);
    states_[state->window] = std::move(state);
  }
  std::shared_ptr<LoopState> Find(HWND window) {
    std::lock_guard lock(mutex_);
    auto entry = states_.find(window);
    return entry == states_.end() ? nullptr : entry->second;
  }
  // Ends the queue, unless it has ended already; on its thread when
  // `window` is given, elsewhere (its thread gone) when it is null.
  void End(const std::shared_ptr<LoopState>& state, HWND window) {
    std::optional<PendingWork> pending = Close(*state);
    if (!pending) return;
    {
      std::lock_guard lock(mutex_);
      states_.erase(state->window);
    }
    Finish(window, *pending);
  }

 private:
  std::mutex mutex_;
  std::map<HWND, std::shared_ptr<LoopState>> states_;
};

LoopTable& Loops() {
  static auto* table = new LoopTable();
  return *table;
}

// Runs the work named `number` and any posted before it still pending, in
// order; nothing when the table holds no such number.
void RunPostedUpTo(LoopState& state, LPARAM number) {
  {
    std::lock_guard lock(state.mutex);
    if (!state.pending.contains(number)) return;
  }
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(state.mutex);
      auto first = state.pending.begin();
      if (first == state.pending.end() || first->first > number) return;
      work = std::move(first->second);
      state.pending.erase(first);
    }
    RunOne(work);
  }
}

LRESULT CALLBACK MessageLoopWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kRunPosted:
      if (std::shared_ptr<LoopState> state = Loops().Find(window)) {
        RunPostedUpTo(*state, lparam);
      }
      return 0;
    case kEndQueue:
      if (std::shared_ptr<LoopState> state = Loops().Find(window)) {
        bool ending = false;
        {
          std::lock_guard lock(state->mutex);
          ending = state->ending;
        }
        if (ending) Loops().End(state, window);
      }
      return 0;
    case WM_CLOSE:
      // Only the queue closes its window.
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&MessageLoopWindowProc), &module);
  return module;
}

class MessageLoopQueue : public WorkQueue {
 public:
  // Null when the window cannot be made.
  static std::shared_ptr<MessageLoopQueue> Create() {
    static const bool registered = [] {
      WNDCLASSEXW window_class{};
      window_class.cbSize = sizeof(window_class);
      window_class.lpfnWndProc = MessageLoopWindowProc;
      window_class.hInstance = ThisModule();
      window_class.lpszClassName = kMessageLoopClass;
      return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered) return nullptr;
    HWND window = CreateWindowExW(0, kMessageLoopClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ThisModule(), nullptr);
    if (window == nullptr) return nullptr;
    auto state = std::make_shared<LoopState>(window, GetCurrentThreadId());
    Loops().Add(state);
    return std::shared_ptr<MessageLoopQueue>(new MessageLoopQueue(std::move(state)));
  }

  ~MessageLoopQueue() override {
    if (IsCurrent()) {
      Loops().End(state_, state_->window);
      return;
    }
    {
      std::lock_guard lock(state_->mutex);
      if (state_->ended) return;
      state_->ending = true;
    }
    // The window's thread ends the queue behind the work posted before.
    // Where that cannot be posted the thread is gone, with its window: the
    // work it left runs here.
    if (!PostMessageW(state_->window, kEndQueue, 0, 0)) Loops().End(state_, nullptr);
  }

  bool IsCurrent() const override { return GetCurrentThreadId() == state_->thread; }

  bool Post(std::function<void()> work) override {
    LPARAM number = 0;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->ended) return false;
      number = state_->next_number++;
      state_->pending.emplace(number, std::move(work));
    }
    if (PostMessageW(state_->window, kRunPosted, 0, number)) return true;
    std::function<void()> refused;
    {
      std::lock_guard lock(state_->mutex);
      auto entry = state_->pending.find(number);
      // Gone from the table: the queue's end has run it meanwhile.
      if (entry == state_->pending.end()) return true;
      refused = std::move(entry->second);
      state_->pending.erase(entry);
    }
    return false;
  }

 private:
  explicit MessageLoopQueue(std::shared_ptr<LoopState> state) : state_(std::move(state)) {}

  std::shared_ptr<LoopState> state_;
};

class ComApartment : public Apartment {
 public:
  std::shared_ptr<WorkQueue> CaptureMessageLoop() override { return MessageLoopQueue::Create(); }

  std::shared_ptr<ObjectContext> CaptureContext() override {
    IContextCallback* context = nullptr;
    if (FAILED(CoGetObjectContext(IID_IContextCallback, reinterpret_cast<void**>(&context))) ||
        context == nullptr) {
      return nullptr;
    }
    ULONG_PTR token = 0;
    if (FAILED(CoGetContextToken(&token))) {
      context->Release();
      return nullptr;
    }
    return std::make_shared<ComObjectContext>(context, token);
  }

  // A neutral apartment counts as single-threaded only when it was entered
  // from a single-threaded one; entered from the multithreaded apartment it
  // is reported as that.
  bool QueryApartmentType(ApartmentType* type) override {
    APTTYPE apartment = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (FAILED(CoGetApartmentType(&apartment, &qualifier))) return false;
    switch (apartment) {
      case APTTYPE_STA:
        *type = ApartmentType::kSingleThreaded;
        return true;
      case APTTYPE_MAINSTA:
        *type = ApartmentType::kMainSingleThreaded;
        return true;
      case APTTYPE_NA:
        *type =
            qualifier == APTTYPEQUALIFIER_NA_ON_STA || qualifier == APTTYPEQUALIFIER_NA_ON_MAINSTA
                ? ApartmentType::kNeutral
                : ApartmentType::kMultiThreaded;
        return true;
      default:
        *type = ApartmentType::kMultiThreaded;
        return true;
    }
  }
};

}  // namespace

template <>
Apartment& DefaultService<Apartment>() {
  static ComApartment service;
  return service;
}

}  // namespace quillmar::platform
