// The runtime's asynchronous operations as the stand-in gives them:
// IAsyncOperation<T> and IAsyncOperationWithProgress<T, P>, each with
// IAsyncInfo. They run on the stand-in's own thread (RunOnStandInThread),
// never on the caller's; the caller's thread sets handlers and reads
// results. The mutex guards the status, the result and the handlers;
// handlers are invoked outside it.
#pragma once

#include <asyncinfo.h>
#include <foundation_progress.h>
#include <windows.foundation.h>

#include <functional>
#include <mutex>

#include "object.h"
#include "state.h"

namespace quillmar::standin {

// Runs `work` on the stand-in's thread (one thread, in the multithreaded
// apartment) `delay_ms` after now, in the order submitted. The thread
// drops `work`, and what it holds, once it has run.
void RunOnStandInThread(long long delay_ms, std::function<void()> work);
// The stand-in thread's id, 0 before it starts.
DWORD StandInThreadId();

// How a result is kept and handed out: values by copy, interfaces with a
// reference of their own for each caller.
template <class Abi>
struct Held {
  static void Copy(const Abi& from, Abi* to) { *to = from; }
  static void Clear(Abi&) {}
};
template <class Interface>
struct Held<Interface*> {
  static void Copy(Interface* from, Interface** to) {
    if (from != nullptr) from->AddRef();
    *to = from;
  }
  static void Clear(Interface*& held) {
    if (held != nullptr) std::exchange(held, nullptr)->Release();
  }
};

// What IAsyncOperation and IAsyncOperationWithProgress share. `Interface`
// is the operation's interface, `Completed` its completion handler.
template <class Interface, class Completed, class AbiResult>
class OperationBase : public Object<Interface, IAsyncInfo, IAgileObject> {
 public:
  OperationBase() : id_(NextId()) {}

  // IAsyncOperation<TResult>.Completed: "You're not allowed to set the
  // Completed property more than once" (E_ILLEGAL_DELEGATE_ASSIGNMENT);
  // "if the Completed property is set after the action has already
  // completed, then the action behaves as if it had completed immediately
  // after the handler was received ... possibly even from the same thread."
  HRESULT STDMETHODCALLTYPE put_Completed(Completed* handler) override {
    std::unique_lock lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    if (assigned_) return kIllegalDelegateAssignment;
    assigned_ = true;
    if (status_ == AsyncStatus::Started) {
      completed_ = handler;
      return S_OK;
    }
    AsyncStatus status = status_;
    lock.unlock();
    if (handler != nullptr) handler->Invoke(static_cast<Interface*>(this), status);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Completed(Completed** handler) override {
    if (handler == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *handler = completed_.get();
    if (*handler != nullptr) (*handler)->AddRef();
    return S_OK;
  }

  // IAsyncOperation<TResult>.GetResults, with AsyncBase's documented
  // CheckValidStateForResultsCall ("AsyncBase::CheckValidStateForResultsCall
  // Method"): results are there only once the operation completed; before,
  // E_ILLEGAL_METHOD_CALL. After an error it answers that error
  // (IAsyncInfo.ErrorCode), after a cancellation E_ILLEGAL_METHOD_CALL.
  HRESULT STDMETHODCALLTYPE GetResults(AbiResult* results) override {
    if (results == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    if (status_ == AsyncStatus::Error) return error_;
    if (status_ != AsyncStatus::Completed) return kIllegalMethodCall;
    Held<AbiResult>::Copy(result_, results);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
    if (id == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *id = id_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override {
    if (status == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *status = status_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
    if (code == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *code = error_;
    return S_OK;
  }
  // IAsyncInfo.Cancel: a request; the operation ends Canceled when its
  // work comes to run.
  HRESULT STDMETHODCALLTYPE Cancel() override {
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    if (status_ == AsyncStatus::Started) cancel_requested_ = true;
    return S_OK;
  }
  // IAsyncInfo.Close: "You may not call Close before the asynchronous
  // action or operation has completed" (E_ILLEGAL_STATE_CHANGE, as
  // "AsyncBase::Close Method" documents, which also answers S_OK when
  // already closed); it frees the results. "After calling Close, you may
  // not call any methods or access any properties of the object": each
  // other member then fails with E_ILLEGAL_METHOD_CALL.
  HRESULT STDMETHODCALLTYPE Close() override {
    std::lock_guard lock(mutex_);
    if (status_ == AsyncStatus::Started) return kIllegalStateChange;
    closed_ = true;
    Held<AbiResult>::Clear(result_);
    return S_OK;
  }

  // The ends, on the stand-in's thread. `result` is taken over.
  void Complete(AbiResult result) { End(AsyncStatus::Completed, S_OK, result); }
  void Fail(HRESULT code) { End(AsyncStatus::Error, code, AbiResult{}); }
  void EndCanceled() { End(AsyncStatus::Canceled, S_OK, AbiResult{}); }

  bool CancelRequested() {
    std::lock_guard lock(mutex_);
    return cancel_requested_;
  }

 protected:
  ~OperationBase() override { Held<AbiResult>::Clear(result_); }

  std::mutex mutex_;
  // Whether Close was called; mutex_ held.
  bool closed_flag() const { return closed_; }

 private:
  static UINT32 NextId() {
    static std::atomic<UINT32> next{1};
    return next.fetch_add(1);
  }

  // The completed handler runs once, with the final status; the operation
  // lets go of it afterwards.
  void End(AsyncStatus status, HRESULT code, AbiResult result) {
    std::unique_lock lock(mutex_);
    if (cancel_requested_ && status == AsyncStatus::Completed) {
      Held<AbiResult>::Clear(result);
      status = AsyncStatus::Canceled;
    }
    status_ = status;
    error_ = code;
    result_ = result;
    Ref<Completed> handler = std::move(completed_);
    lock.unlock();
    if (handler) handler->Invoke(static_cast<Interface*>(this), status);
  }

  const UINT32 id_;
  AsyncStatus status_ = AsyncStatus::Started;
  HRESULT error_ = S_OK;
  AbiResult result_{};
  Ref<Completed> completed_;
  bool assigned_ = false;
  bool cancel_requested_ = false;
  bool closed_ = false;
};

template <class Logical, class AbiResult>
class AsyncOperation final
    : public OperationBase<ABI::Windows::Foundation::IAsyncOperation<Logical>,
                           ABI::Windows::Foundation::IAsyncOperationCompletedHandler<Logical>,
                           AbiResult> {
 protected:
  const wchar_t* ClassName() const override { return L"Windows.Foundation.IAsyncOperation`1"; }
};

template <class Logical, class Progress, class AbiResult>
class AsyncOperationWithProgress final
    : public OperationBase<
          ABI::Windows::Foundation::IAsyncOperationWithProgress<Logical, Progress>,
          ABI::Windows::Foundation::IAsyncOperationWithProgressCompletedHandler<Logical, Progress>,
          AbiResult> {
 public:
  using Interface = ABI::Windows::Foundation::IAsyncOperationWithProgress<Logical, Progress>;
  using ProgressHandler =
      ABI::Windows::Foundation::IAsyncOperationProgressHandler<Logical, Progress>;

  // IAsyncOperationWithProgress.Progress: the handler that receives each
  // report; it may be replaced at any time.
  HRESULT STDMETHODCALLTYPE put_Progress(ProgressHandler* handler) override {
    {
      std::lock_guard lock(this->mutex_);
      if (this->closed_flag()) return kIllegalMethodCall;
      progress_ = handler;
    }
    if (handler != nullptr && on_progress_set_) on_progress_set_();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Progress(ProgressHandler** handler) override {
    if (handler == nullptr) return E_POINTER;
    std::lock_guard lock(this->mutex_);
    if (this->closed_flag()) return kIllegalMethodCall;
    *handler = progress_.get();
    if (*handler != nullptr) (*handler)->AddRef();
    return S_OK;
  }

  // Runs, on the thread that sets a progress handler and before its
  // put_Progress returns, once the handler is set. Set before the
  // operation is handed out.
  void OnProgressSet(std::function<void()> action) { on_progress_set_ = std::move(action); }

  // One report, on the stand-in's thread, before the operation ends.
  void Report(Progress progress) {
    Ref<ProgressHandler> handler;
    {
      std::lock_guard lock(this->mutex_);
      handler = progress_;
    }
    if (handler) handler->Invoke(static_cast<Interface*>(this), progress);
  }

 protected:
  ~AsyncOperationWithProgress() override = default;
  const wchar_t* ClassName() const override {
    return L"Windows.Foundation.IAsyncOperationWithProgress`2";
  }

 private:
  Ref<ProgressHandler> progress_;
  std::function<void()> on_progress_set_;
};

// Starts `Operation` on the stand-in's thread: after the script's delay,
// `run` ends it (Complete or Fail, Report before). The operation's
// `<step>.operation` failure, when scripted, ends it with Error instead.
template <class Operation, class Run>
Ref<Operation> Start(std::string_view step, Run run) {
  Ref<Operation> operation = Make<Operation>();
  HRESULT failure = state::Failure(std::string(step) + ".operation");
  long long delay = state::ScriptNumber("delay_ms", 0);
  RunOnStandInThread(delay, [operation, failure, run]() mutable {
    if (operation->CancelRequested()) {
      operation->EndCanceled();
    } else {
      run(*operation.get(), failure);
    }
  });
  return operation;
}

}  // namespace quillmar::standin
