// The Windows Runtime plumbing the runtime-class backends share: owning COM
// pointers, platform strings handed over as HSTRINGs, activation, and
// completion and progress handlers of our own (reference counted and agile)
// that end a platform AsyncOperation when the runtime's operation ends.
// The runtime's functions are looked up in combase.dll when first needed,
// so that the library still loads on Windows 7, which has no runtime.
#pragma once

#include <foundation_progress.h>
#include <roapi.h>
#include <windows.foundation.h>
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>

#include "platform/async_operation.h"
#include "platform/platform_error.h"
#include "platform/platform_string.h"
#include "platform/windows/windows_error.h"

namespace quillmar::platform::windows {

template <class Interface>
const IID& IidOf() {
  return __uuidof(Interface);
}

// An owning interface pointer: one reference, released on destruction.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference the caller owns.
  static ComPtr Attach(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out parameters: releases what is held first.
  T** put() {
    reset();
    return &pointer_;
  }
  void reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

  // The object's `Other` interface, or null when it has none.
  template <class Other>
  ComPtr<Other> As() const {
    ComPtr<Other> other;
    if (pointer_ != nullptr) {
      pointer_->QueryInterface(IidOf<Other>(), reinterpret_cast<void**>(other.put()));
    }
    return other;
  }

 private:
  T* pointer_ = nullptr;
};

// Text handed to the runtime without a copy of ours (a fast-pass string): the
// runtime copies what it keeps, and `text` stays the only copy this library
// has to wipe. `text` must outlive this object; it cannot move.
class HStringReference {
 public:
  explicit HStringReference(const PlatformString& text);
  HStringReference(const HStringReference&) = delete;
  HStringReference& operator=(const HStringReference&) = delete;

  HSTRING get() const { return string_; }

 private:
  HSTRING_HEADER header_;
  HSTRING string_ = nullptr;
};

// An HSTRING the runtime handed to us; deleted on destruction. Its storage
// is the runtime's and may be shared, so it is not wiped here.
class HString {
 public:
  HString() = default;
  // Takes over a string the runtime handed over inside a structure.
  explicit HString(HSTRING owned) : string_(owned) {}
  HString(const HString&) = delete;
  HString& operator=(const HString&) = delete;
  ~HString() { Delete(std::exchange(string_, nullptr)); }

  HSTRING* put() {
    Delete(std::exchange(string_, nullptr));
    return &string_;
  }
  HSTRING get() const { return string_; }

  // Deletes a string the runtime handed over (WindowsDeleteString).
  static void Delete(HSTRING string);

 private:
  HSTRING string_ = nullptr;
};

PlatformString ToPlatformString(HSTRING text);

// The activation factory of `class_name` as `Interface`. Raises the
// activation failure (REGDB_E_CLASSNOTREG where the class does not exist,
// E_NOTIMPL where the system has no runtime).
void GetFactory(const wchar_t* class_name, const IID& iid, void** factory);

template <class Interface>
ComPtr<Interface> GetActivationFactory(const wchar_t* class_name) {
  ComPtr<Interface> factory;
  GetFactory(class_name, IidOf<Interface>(), reinterpret_cast<void**>(factory.put()));
  return factory;
}

// A default-constructed instance of `class_name`, as `Interface`.
template <class Interface>
ComPtr<Interface> ActivateInstance(const wchar_t* class_name) {
  ComPtr<IActivationFactory> factory = GetActivationFactory<IActivationFactory>(class_name);
  ComPtr<IInspectable> instance;
  ThrowIfFailed(factory->ActivateInstance(instance.put()));
  ComPtr<Interface> result;
  ThrowIfFailed(
      instance->QueryInterface(IidOf<Interface>(), reinterpret_cast<void**>(result.put())));
  return result;
}

// A COM object of our own implementing the delegate interface `Delegate`
// (whose Invoke takes `Arguments`), IAgileObject and IUnknown. The runtime
// may call it on any thread; each call goes to `invoke`, which must not throw.
template <class Delegate, class... Arguments>
class AgileDelegate final : public Delegate, public IAgileObject {
 public:
  using Function = std::function<HRESULT(Arguments...)>;

  // The new object, holding one reference for the caller.
  static ComPtr<Delegate> Create(Function invoke) {
    return ComPtr<Delegate>::Attach(static_cast<Delegate*>(new AgileDelegate(std::move(invoke))));
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IidOf<IUnknown>()) || IsEqualIID(iid, IidOf<Delegate>())) {
      *object = static_cast<Delegate*>(this);
    } else if (IsEqualIID(iid, IidOf<IAgileObject>())) {
      *object = static_cast<IAgileObject*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Invoke(Arguments... arguments) override {
    return invoke_(arguments...);
  }

 private:
  explicit AgileDelegate(Function invoke) : invoke_(std::move(invoke)) {}
  ~AgileDelegate() = default;

  std::atomic<ULONG> references_{1};
  Function invoke_;
};

// Registers a completion handler on `operation` that ends `target` the way
// the runtime's operation ended: with `convert(results)` when it completed
// (`convert` takes over any reference in the results), with its error, read
// through GetResults so that its restricted information comes along, when it
// failed, and cancelled when it was cancelled. The handler holds the
// runtime's operation until it has run; the runtime drops the handler once
// it has called it. An operation that never ends keeps both.
template <class Handler, class AbiResult, class Operation, class Result, class Convert>
void CompleteFrom(const ComPtr<Operation>& operation,
                  std::shared_ptr<AsyncOperation<Result>> target, Convert convert) {
  auto running = std::make_shared<ComPtr<Operation>>(operation);
  ComPtr<Handler> handler = AgileDelegate<Handler, Operation*, ::AsyncStatus>::Create(
      [running, target, convert](Operation*, ::AsyncStatus status) -> HRESULT {
        ComPtr<Operation> finished = std::move(*running);
        try {
          if (status == ::AsyncStatus::Canceled) {
            target->Cancel();
            return S_OK;
          }
          AbiResult results{};
          HRESULT code = finished->GetResults(&results);
          if (FAILED(code)) {
            target->Fail(ErrorFromHResult(code));
          } else {
            target->Complete(convert(results));
          }
        } catch (const PlatformError& error) {
          target->Fail(error);
        } catch (...) {
          target->Fail(PlatformError(E_OUTOFMEMORY));
        }
        return S_OK;
      });
  HRESULT code = operation->put_Completed(handler.get());
  if (FAILED(code)) {
    running->reset();
    target->Fail(ErrorFromHResult(code));
  }
}

}  // namespace quillmar::platform::windows
