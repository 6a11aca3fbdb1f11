// What the STL's filesystem.cpp takes from the CRT's internal
// internal_shared.h: a heap buffer that frees itself, and the typed
// allocation that fills it.
#pragma once
#include <stdlib.h>

#ifdef __cplusplus
template <typename T>
class __crt_unique_heap_ptr {
 public:
  __crt_unique_heap_ptr() noexcept = default;
  __crt_unique_heap_ptr(T* pointer) noexcept : pointer_(pointer) {}
  __crt_unique_heap_ptr(const __crt_unique_heap_ptr&) = delete;
  __crt_unique_heap_ptr& operator=(const __crt_unique_heap_ptr&) = delete;
  __crt_unique_heap_ptr& operator=(__crt_unique_heap_ptr&& other) noexcept {
    if (this != &other) {
      free(pointer_);
      pointer_ = other.pointer_;
      other.pointer_ = nullptr;
    }
    return *this;
  }
  ~__crt_unique_heap_ptr() { free(pointer_); }

  T* get() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

 private:
  T* pointer_ = nullptr;
};

#define _malloc_crt_t(type, count) \
  (__crt_unique_heap_ptr<type>(static_cast<type*>(malloc(sizeof(type) * (count)))))
#endif
