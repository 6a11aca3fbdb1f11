// The Win32 clipboard. A thread of the library's own owns a message-only
// window and makes every clipboard call with the clipboard opened for that
// window: the window becomes the owner of what the library places (after
// OpenClipboard(NULL), EmptyClipboard leaves no owner and Windows then
// refuses the data), and its thread answers the messages the system sends
// to an owner. Entries kept out of history and roaming carry the registered
// formats Windows' clipboard history and cloud clipboard look for.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include "platform/clipboard.h"
#include "platform/service_registry.h"

namespace quillmar::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"QuillmarClipboardOwner";
constexpr UINT kRunQueuedWork = WM_APP + 1;
// Another program may hold the clipboard open for a moment.
constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenRetryMilliseconds = 10;

// The owner thread: created on first use and kept for the life of the
// process. It runs code of this module, so the module is pinned.
class OwnerThread {
 public:
  static OwnerThread& Get() {
    static auto* thread = new OwnerThread();
    return *thread;
  }

  // Runs `work` on the owner thread and waits for it; what it raises is
  // raised here. Raises kClipboardCantOpen when the thread has no window.
  // While it waits, the calling thread answers messages other threads send
  // to its windows: emptying the clipboard sends WM_DESTROYCLIPBOARD to the
  // previous owner, which may be a window of the calling thread (the
  // embedding's own clipboard use).
  template <class Work>
  auto Run(Work work) -> decltype(work()) {
    using Result = decltype(work());
    if (window_ == nullptr) throw PlatformError(kClipboardCantOpen);
    if (GetCurrentThreadId() == thread_id_) return work();
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) throw PlatformError(kClipboardCantOpen);
    std::optional<Result> result;
    // The work's failure comes back as a copy, thrown anew here: an
    // exception raised by std::rethrow_exception lives in its
    // exception_ptr, which unwinding ends before the caller's handler runs
    // under Microsoft's runtime as Wine gives it.
    std::optional<PlatformError> error;
    bool out_of_memory = false;
    std::exception_ptr failure;
    uint64_t ticket;
    {
      std::lock_guard lock(mutex_);
      ticket = ++last_ticket_;
      queue_.emplace_back(ticket, [&] {
        try {
          result.emplace(work());
        } catch (const PlatformError& thrown) {
          error.emplace(thrown);
        } catch (const std::bad_alloc&) {
          out_of_memory = true;
        } catch (...) {
          failure = std::current_exception();
        }
        SetEvent(done);
      });
    }
    // Without its message the work runs only if another call's message
    // drains the queue first; otherwise it is taken back.
    if (!PostMessageW(window_, kRunQueuedWork, 0, 0) && TakeBack(ticket)) {
      CloseHandle(done);
      throw PlatformError(kClipboardCantOpen);
    }
    for (;;) {
      DWORD woken = MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_SENDMESSAGE, 0);
      if (woken == WAIT_OBJECT_0) break;
      if (woken == WAIT_FAILED) {
        WaitForSingleObject(done, INFINITE);
        break;
      }
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(done);
    if (error) throw *error;
    if (out_of_memory) throw std::bad_alloc();
    if (failure) std::rethrow_exception(failure);
    return std::move(*result);
  }

  HWND window() const { return window_; }

 private:
  OwnerThread() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&WindowProcedure), &module);
    std::mutex started_mutex;
    std::condition_variable started;
    bool ready = false;
    std::thread([&, module] {
      HWND window = CreateOwnerWindow(module);
      {
        std::lock_guard lock(started_mutex);
        window_ = window;
        thread_id_ = GetCurrentThreadId();
        ready = true;
        started.notify_all();
      }
      if (window == nullptr) return;
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }).detach();
    std::unique_lock lock(started_mutex);
    started.wait(lock, [&] { return ready; });
  }

  HWND CreateOwnerWindow(HMODULE module) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &WindowProcedure;
    window_class.hInstance = module;
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      return nullptr;
    }
    HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  module, nullptr);
    if (window != nullptr)
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return window;
  }

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunQueuedWork) {
      auto* self = reinterpret_cast<OwnerThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr) self->RunQueuedWork();
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  // Removes the queued work of `ticket`; false when it has been taken.
  bool TakeBack(uint64_t ticket) {
    std::lock_guard lock(mutex_);
    for (auto entry = queue_.begin(); entry != queue_.end(); ++entry) {
      if (entry->first == ticket) {
        queue_.erase(entry);
        return true;
      }
    }
    return false;
  }

  void RunQueuedWork() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        work = std::move(queue_.front().second);
        queue_.pop_front();
      }
      work();
    }
  }

  HWND window_ = nullptr;
  DWORD thread_id_ = 0;
  std::mutex mutex_;
  uint64_t last_ticket_ = 0;
  std::deque<std::pair<uint64_t, std::function<void()>>> queue_;
};

// The clipboard opened for the owner window, on the owner thread; closed
// when the scope ends. Raises kClipboardCantOpen while another program
// keeps it open.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND window) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      if (OpenClipboard(window)) return;
      Sleep(kOpenRetryMilliseconds);
    }
    throw PlatformError(kClipboardCantOpen);
  }
  ~OpenClipboardScope() { CloseClipboard(); }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// Movable global memory holding a copy of `size` bytes, for SetClipboardData.
HGLOBAL CopyToGlobal(const void* data, size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (memory == nullptr) return nullptr;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(target, data, size);
  GlobalUnlock(memory);
  return memory;
}

void WipeAndFree(HGLOBAL memory) {
  if (void* bytes = GlobalLock(memory)) {
    SecureZeroMemory(bytes, GlobalSize(memory));
    GlobalUnlock(memory);
  }
  GlobalFree(memory);
}

// Hands `size` bytes to the open clipboard as `format`; the system owns
// the memory once it has taken it.
bool PutData(UINT format, const void* data, size_t size) {
  if (format == 0) return false;
  HGLOBAL memory = CopyToGlobal(data, size);
  if (memory == nullptr) return false;
  if (SetClipboardData(format, memory) == nullptr) {
    WipeAndFree(memory);
    return false;
  }
  return true;
}

bool PutDword(const wchar_t* format_name, DWORD value) {
  return PutData(RegisterClipboardFormatW(format_name), &value, sizeof(value));
}

// Places the exclusion formats the options ask for, then the text. With a
// failure the clipboard is left empty, so a secret is never placed without
// the formats that keep it out of history.
bool PlaceContent(const DataPackage& content, const ClipboardContentOptions& options) {
  if (!EmptyClipboard()) return false;
  bool history = options.IsAllowedInHistory();
  bool roaming = options.IsRoamable();
  bool placed = true;
  if (!history && !roaming) {
    placed = PutDword(L"ExcludeClipboardContentFromMonitorProcessing", 0);
  }
  if (placed && !history) placed = PutDword(L"CanIncludeInClipboardHistory", 0);
  if (placed && !roaming) placed = PutDword(L"CanUploadToCloudClipboard", 0);
  if (placed && content.text()) {
    const PlatformString& text = *content.text();
    // With its terminating zero, which data() provides.
    placed = PutData(CF_UNICODETEXT, text.data(), (text.size() + 1) * sizeof(char16_t));
  }
  if (!placed) EmptyClipboard();
  return placed;
}

// The clipboard's text; raises kFormatNotAvailable when it holds none.
PlatformString ReadText() {
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) throw PlatformError(kFormatNotAvailable);
  const auto* units = static_cast<const char16_t*>(GlobalLock(data));
  if (units == nullptr) throw PlatformError(kFormatNotAvailable);
  size_t capacity = GlobalSize(data) / sizeof(char16_t);
  size_t length = 0;
  while (length < capacity && units[length] != u'\0') ++length;
  PlatformString text;
  try {
    text = PlatformString(std::u16string_view(units, length));
  } catch (...) {
    GlobalUnlock(data);
    throw;
  }
  GlobalUnlock(data);
  return text;
}

class Win32DataPackageView : public DataPackageView {
 public:
  bool Contains(const PlatformString& format_id) override {
    if (!(format_id == StandardDataFormats::Text())) return false;
    return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
  }

  AsyncOperationPtr<PlatformString> GetTextAsync() override {
    auto operation = std::make_shared<AsyncOperation<PlatformString>>();
    try {
      OwnerThread& owner = OwnerThread::Get();
      operation->Complete(owner.Run([&] {
        OpenClipboardScope open(owner.window());
        return ReadText();
      }));
    } catch (const PlatformError& error) {
      operation->Fail(error);
    }
    return operation;
  }
};

class Win32Clipboard : public Clipboard {
 public:
  bool SetContentWithOptions(const DataPackage& content,
                             const ClipboardContentOptions& options) override {
    OwnerThread& owner = OwnerThread::Get();
    return owner.Run([&] {
      OpenClipboardScope open(owner.window());
      return PlaceContent(content, options);
    });
  }

  std::shared_ptr<DataPackageView> GetContent() override {
    return std::make_shared<Win32DataPackageView>();
  }

  void Clear() override {
    OwnerThread& owner = OwnerThread::Get();
    owner.Run([&] {
      OpenClipboardScope open(owner.window());
      if (!EmptyClipboard()) throw PlatformError(HResultFromWin32(GetLastError()));
      return true;
    });
  }
};

}  // namespace

template <>
Clipboard& DefaultService<Clipboard>() {
  static Win32Clipboard service;
  return service;
}

}  // namespace quillmar::platform
