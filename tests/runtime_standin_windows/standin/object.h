// The stand-in's COM plumbing: objects that count themselves while alive,
// static factories that do not, an owning interface pointer, platform
// strings, and the error codes of the runtime the SDK headers here lack.
// Any thread may call any object: reference counts are atomic and every
// object guards its own state.
#pragma once

#include <activation.h>
#include <inspectable.h>
#include <objidl.h>
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace quillmar::standin {

inline constexpr HRESULT kBounds = static_cast<HRESULT>(0x8000000B);
inline constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000E);
inline constexpr HRESULT kIllegalStateChange = static_cast<HRESULT>(0x8000000D);
inline constexpr HRESULT kIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);
// HRESULT_FROM_WIN32 is a function in Wine's headers, not a constant.
inline constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HRESULT kInvalidWindowHandle =
    static_cast<HRESULT>(0x80070578);  // ERROR_INVALID_WINDOW_HANDLE
inline constexpr HRESULT kBadStubData = static_cast<HRESULT>(0x800706F7);  // RPC_X_BAD_STUB_DATA

// The live-object counter (module.cc).
void CountObject(long delta);
long LiveObjectCount();

// An owning interface pointer: one reference, released on destruction.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(T* pointer) : pointer_(pointer) {  // NOLINT: adds a reference of its own
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.pointer_) {}
  Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~Ref() { reset(); }

  // Takes over a reference the caller owns.
  static Ref Attach(T* pointer) {
    Ref result;
    result.pointer_ = pointer;
    return result;
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(pointer_, nullptr); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  T** put() {
    reset();
    return &pointer_;
  }
  void reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  T* pointer_ = nullptr;
};

// Platform strings. A string handed out is a fresh one the caller owns and
// deletes; one received is copied when kept.
HSTRING MakeString(std::wstring_view text);
std::wstring FromString(HSTRING text);
HRESULT HandOut(std::wstring_view text, HSTRING* out);
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// A window handle as the record writes it: lowercase hexadecimal.
inline std::string WindowText(const void* window) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return text;
}

// A COM object implementing `Interfaces` (the first is its identity) with
// IInspectable. Counted objects add themselves to the live-object counter
// from construction to destruction and free themselves at the last
// release; factories (not counted) live as long as the DLL.
template <bool kCounted, class... Interfaces>
class ObjectBase : public Interfaces... {
 public:
  ObjectBase() {
    if constexpr (kCounted) CountObject(1);
  }
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IInspectable))) {
      *object = Identity();
    } else {
      // The first listed interface that matches answers.
      (void)((IsEqualIID(iid, __uuidof(Interfaces)) &&
              (*object = static_cast<Interfaces*>(this)) != nullptr) ||
             ...);
    }
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    if constexpr (!kCounted) return 2;
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if constexpr (!kCounted) return 1;
    ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // The IInspectable interfaces it implements, IAgileObject excepted.
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
    if (count == nullptr || iids == nullptr) return E_POINTER;
    constexpr ULONG kListed = (0 + ... + (kListedInterface<Interfaces> ? 1 : 0));
    *count = 0;
    *iids = static_cast<IID*>(CoTaskMemAlloc(sizeof(IID) * kListed));
    if (*iids == nullptr) return E_OUTOFMEMORY;
    ((kListedInterface<Interfaces> ? ((*iids)[(*count)++] = __uuidof(Interfaces), 0) : 0), ...);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
    return HandOut(ClassName(), name);
  }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    if (level == nullptr) return E_POINTER;
    *level = BaseTrust;
    return S_OK;
  }

 protected:
  virtual ~ObjectBase() {
    if constexpr (kCounted) CountObject(-1);
  }
  virtual const wchar_t* ClassName() const = 0;

 private:
  template <class I>
  static constexpr bool kListedInterface =
      std::is_base_of_v<IInspectable, I> && !std::is_same_v<I, IAgileObject>;

  IUnknown* Identity() {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    return static_cast<First*>(this);
  }

  std::atomic<ULONG> references_{1};
};

template <class... Interfaces>
using Object = ObjectBase<true, Interfaces...>;
template <class... Interfaces>
using Factory = ObjectBase<false, Interfaces...>;

// A new counted object of type T, with the one reference the caller owns.
template <class T, class... Arguments>
Ref<T> Make(Arguments&&... arguments) {
  return Ref<T>::Attach(new T(std::forward<Arguments>(arguments)...));
}

}  // namespace quillmar::standin
