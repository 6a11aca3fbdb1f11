// base::SecureWipe on Linux: glibc's explicit_bzero, whose stores the
// compiler may not drop even when the memory is freed right after.
#include <string.h>

#include "base/secret_memory.h"

namespace quillmar::base {

void SecureWipe(void* data, size_t size) noexcept {
  if (data == nullptr || size == 0) return;
  explicit_bzero(data, size);
}

}  // namespace quillmar::base
