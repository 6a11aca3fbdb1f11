#include <string.h>

#include "platform/secure_memory.h"

namespace quillmar::platform {

void SecureWipe(void* data, size_t size) noexcept {
  if (data != nullptr && size != 0) explicit_bzero(data, size);
}

}  // namespace quillmar::platform
