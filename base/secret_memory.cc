#include "base/secret_memory.h"

#include <new>

namespace quillmar::base {

void* AllocateSecretBlock(size_t size, size_t alignment) {
  if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    return ::operator new(size, std::align_val_t(alignment));
  }
  return ::operator new(size);
}

void FreeSecretBlock(void* block, size_t size, size_t alignment) noexcept {
  if (block == nullptr) return;
  SecureWipe(block, size);
  if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    ::operator delete(block, std::align_val_t(alignment));
  } else {
    ::operator delete(block);
  }
}

}  // namespace quillmar::base
