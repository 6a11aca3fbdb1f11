#include "base/secret_memory.h"

#include <cstring>

namespace quillmar::base {

void SecureWipe(void* data, size_t size) noexcept {
  if (data == nullptr || size == 0) return;
  std::memset(data, 0, size);
#if defined(__GNUC__) || defined(__clang__)
  // The barrier claims to read the zeroed memory, so the stores stay even
  // when the memory is freed right after.
  __asm__ __volatile__("" : : "r"(data) : "memory");
#else
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) bytes[i] = 0;
#endif
}

}  // namespace quillmar::base
