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
#include <memory>
#include <mutex>

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
// IContextCallback. The window is destroyed on its own thread.
constexpr UINT kRunPosted = WM_APP + 0x51;
constexpr wchar_t kMessageLoopClass[] = L"QuillmarMessageLoopContext";

LRESULT CALLBACK MessageLoopWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunPosted) {
    std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lparam));
    try {
      (*work)();
    } catch (...) {
      // Posted work reports its own failures; the loop goes on.
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&MessageLoopWindowProc), &module);
  return module;
}

class MessageLoopContext : public ObjectContext {
 public:
  // Null when the window cannot be made.
  static std::shared_ptr<MessageLoopContext> Create() {
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
    return std::shared_ptr<MessageLoopContext>(new MessageLoopContext(window));
  }

  ~MessageLoopContext() override {
    if (IsCurrent()) {
      DestroyWindow(window_);
    } else {
      // The window's thread closes it, after the work posted before.
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
  }

  bool IsCurrent() const override { return GetCurrentThreadId() == thread_; }

  HResult Enter(std::function<void()> work) override {
    return EnterThroughQueue(*this, std::move(work));
  }

  bool Post(std::function<void()> work) override {
    auto* heap_work = new std::function<void()>(std::move(work));
    if (PostMessageW(window_, kRunPosted, 0, reinterpret_cast<LPARAM>(heap_work))) return true;
    delete heap_work;
    return false;
  }

 private:
  explicit MessageLoopContext(HWND window) : window_(window), thread_(GetCurrentThreadId()) {}

  HWND window_;
  DWORD thread_;
};

class ComApartment : public Apartment {
 public:
  std::shared_ptr<ObjectContext> CaptureMessageLoop() override {
    return MessageLoopContext::Create();
  }

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
