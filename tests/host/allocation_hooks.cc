#include "tests/host/allocation_hooks.h"

#include <cstdlib>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#endif

namespace quillmar::testing {
namespace {

// Trivial thread-locals: usable before and after any constructor runs.
thread_local size_t fail_from = 0;
thread_local bool counting = false;
thread_local size_t counted = 0;

void* Allocate(size_t size) {
  if (fail_from != 0 && size >= fail_from) throw std::bad_alloc();
  if (counting) counted += size;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  if (fail_from != 0 && size >= fail_from) throw std::bad_alloc();
  if (counting) counted += size;
  size_t align = static_cast<size_t>(alignment);
  // aligned_alloc wants a size that is a multiple of the alignment.
  size_t rounded = (size + align - 1) / align * align;
#if defined(_WIN32)
  // Windows' C runtime has no aligned_alloc; its aligned blocks have their
  // own free.
  void* memory = _aligned_malloc(rounded == 0 ? align : rounded, align);
#else
  void* memory = std::aligned_alloc(align, rounded == 0 ? align : rounded);
#endif
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void FreeAligned(void* memory) {
#if defined(_WIN32)
  _aligned_free(memory);
#else
  std::free(memory);
#endif
}

}  // namespace

void FailAllocationsFrom(size_t size) { fail_from = size; }

void StartCountingAllocations() {
  counted = 0;
  counting = true;
}

size_t CountedAllocations() { return counted; }

}  // namespace quillmar::testing

using quillmar::testing::Allocate;
using quillmar::testing::AllocateAligned;
using quillmar::testing::FreeAligned;

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete(void* memory, size_t, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete[](void* memory, size_t, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(memory);
}
