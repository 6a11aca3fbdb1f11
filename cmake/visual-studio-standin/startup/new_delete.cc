// Every form of operator new and delete, which Visual Studio's static
// libraries give each module (Wine's ucrtbase.dll exports none): malloc
// with the new-handler loop (_callnewh), std::bad_alloc when it gives up;
// the nothrow forms over the throwing ones, so that replacing one replaces
// both; the aligned forms over _aligned_malloc.
#include <malloc.h>

#include <new>

extern "C" __declspec(dllimport) int __cdecl _callnewh(size_t size);

namespace {

void* Allocate(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = malloc(size)) return block;
    if (_callnewh(size) == 0) throw std::bad_alloc();
  }
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = _aligned_malloc(size, static_cast<size_t>(alignment))) return block;
    if (_callnewh(size) == 0) throw std::bad_alloc();
  }
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new[](size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return operator new(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return operator new[](size, alignment);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete[](block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete[](block); }

void operator delete(void* block, std::align_val_t) noexcept { _aligned_free(block); }
void operator delete[](void* block, std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
void operator delete(void* block, size_t, std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
void operator delete[](void* block, size_t, std::align_val_t alignment) noexcept {
  operator delete[](block, alignment);
}
void operator delete(void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  operator delete(block, alignment);
}
void operator delete[](void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  operator delete[](block, alignment);
}
