// base::SecureWipe on Windows: SecureZeroMemory, whose stores the compiler
// may not drop even when the memory is freed right after.
#include <windows.h>

#include "base/secret_memory.h"

namespace quillmar::base {

void SecureWipe(void* data, size_t size) noexcept {
  if (data == nullptr || size == 0) return;
  SecureZeroMemory(data, size);
}

}  // namespace quillmar::base
