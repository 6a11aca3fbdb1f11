// The platform thread on Windows: a single-threaded COM apartment with a
// message loop. Tasks are queued under the mutex and a message to a
// message-only window wakes the loop, so they also run inside modal loops
// (a dialog the platform shows), as on the real embedding's UI thread.
// QUILLMAR_HOST_APARTMENT=multithreaded puts the thread in the multithreaded
// apartment instead, keeping the same message loop: Wine cannot enter a
// single-threaded apartment's context from another thread, so tests of code
// that resumes on the platform thread run this way there.
#include <objbase.h>
#include <windows.h>

#include <exception>
#include <future>

#include "base/carried_failure.h"
#include "host/host_thread.h"
#include "host/report.h"

namespace quillmar::host {
namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr wchar_t kTaskWindowClass[] = L"QuillmarHostTasks";
constexpr wchar_t kViewWindowClass[] = L"QuillmarHostView";

thread_local HostThread* current_thread = nullptr;

// Read from the process environment block, which children inherit and
// SetEnvironmentVariableW changes.
DWORD ChosenApartment() {
  wchar_t value[32] = {};
  DWORD length = GetEnvironmentVariableW(L"QUILLMAR_HOST_APARTMENT", value, 32);
  if (length > 0 && length < 32 && lstrcmpW(value, L"multithreaded") == 0) {
    return COINIT_MULTITHREADED;
  }
  return COINIT_APARTMENTTHREADED;
}

void RunReportingFailure(const std::function<void()>& task) {
  try {
    task();
  } catch (...) {
    ReportHostProblem("a task on the platform thread threw; ignored");
  }
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunTasks) {
    auto* thread = reinterpret_cast<HostThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (thread != nullptr) thread->RunQueued();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = ThisModule();
  window_class.lpszClassName = name;
  RegisterClassExW(&window_class);
}

void RegisterClasses() {
  static const bool registered = [] {
    RegisterWindowClass(kTaskWindowClass, TaskWindowProc);
    RegisterWindowClass(kViewWindowClass, DefWindowProcW);
    return true;
  }();
  (void)registered;
}

}  // namespace

HostThread::HostThread() = default;

HostThread* HostThread::Start() {
  RegisterClasses();
  auto* thread = new HostThread();
  std::promise<void> ready;
  std::future<void> started = ready.get_future();
  const DWORD apartment_kind = ChosenApartment();
  thread->thread_ = std::thread([thread, &ready, apartment_kind] {
    HRESULT apartment = CoInitializeEx(nullptr, apartment_kind);
    HWND window = CreateWindowExW(0, kTaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ThisModule(), nullptr);
    if (window == nullptr) ReportHostProblem("the platform thread has no task window");
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(thread));
    {
      std::lock_guard lock(thread->mutex_);
      thread->task_window_ = window;
    }
    ready.set_value();
    thread->Loop();
    if (SUCCEEDED(apartment)) CoUninitialize();
  });
  started.wait();
  return thread;
}

void HostThread::AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }

void HostThread::Release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

HostThread* HostThread::Current() { return current_thread; }

bool HostThread::IsCurrent() const { return current_thread == this; }

bool HostThread::Post(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (stopping_ || task_window_ == nullptr) return false;
  queue_.push_back(std::move(task));
  // One wake-up per task keeps the loop simple; a drain takes every task.
  PostMessageW(static_cast<HWND>(task_window_), kRunTasks, 0, 0);
  return true;
}

bool HostThread::RunSync(const std::function<void()>& task) {
  if (IsCurrent()) {
    task();
    return true;
  }
  std::promise<std::exception_ptr> done;
  std::future<std::exception_ptr> finished = done.get_future();
  bool posted = Post([&task, &done] { base::RunCarryingFailure(task, done); });
  if (!posted) return false;
  if (std::exception_ptr failure = finished.get()) base::RethrowCarried(std::move(failure));
  return true;
}

void HostThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    if (task_window_ != nullptr) PostMessageW(static_cast<HWND>(task_window_), kRunTasks, 0, 0);
  }
  if (!thread_.joinable()) return;
  // Stopped from a task of its own, the loop ends after that task; it keeps
  // its own reference until then.
  if (IsCurrent()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void* HostThread::ViewWindow() {
  void* view = nullptr;
  RunSync([this, &view] {
    if (view_window_ == nullptr) {
      view_window_ =
          CreateWindowExW(0, kViewWindowClass, L"quillmar-host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, 640, 480, nullptr, nullptr, ThisModule(), nullptr);
    }
    view = view_window_;
  });
  return view;
}

void HostThread::RunQueued() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) {
        if (stopping_) PostQuitMessage(0);
        return;
      }
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    RunReportingFailure(task);
  }
}

void HostThread::Loop() {
  current_thread = this;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  {
    std::lock_guard lock(mutex_);
    if (view_window_ != nullptr) DestroyWindow(static_cast<HWND>(view_window_));
    if (task_window_ != nullptr) DestroyWindow(static_cast<HWND>(task_window_));
    view_window_ = nullptr;
    task_window_ = nullptr;
  }
  current_thread = nullptr;
  Release();
}

}  // namespace quillmar::host
