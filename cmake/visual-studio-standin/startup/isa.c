// The instruction-set level Visual Studio's start-up detects for the STL:
// __isa_available (the highest level) for its inline bit operations and
// __isa_enabled (one bit per level) for its vectorised algorithms, read
// from CPUID and, for AVX, from the registers the system saves (XCR0).
#include <intrin.h>
#include <isa_availability.h>

#include "startup.h"

int __isa_available = __ISA_AVAILABLE_X86;
long __isa_enabled = 1 << __ISA_AVAILABLE_X86;

void quillmar_detect_isa(void) {
#if defined(_M_X64)
  int leaf1[4];
  int leaf7[4] = {0, 0, 0, 0};
  int level = __ISA_AVAILABLE_SSE2;
  __cpuid(leaf1, 0);
  int highest_leaf = leaf1[0];
  __cpuid(leaf1, 1);
  if (highest_leaf >= 7) __cpuidex(leaf7, 7, 0);
  const int sse42 = leaf1[2] & (1 << 20);
  const int os_saves_avx = (leaf1[2] & (1 << 27)) && (leaf1[2] & (1 << 28)) &&
                           (_xgetbv(0) & 0x6) == 0x6;
  if (sse42) level = __ISA_AVAILABLE_SSE42;
  if (sse42 && os_saves_avx) level = __ISA_AVAILABLE_AVX;
  if (level == __ISA_AVAILABLE_AVX && (leaf7[1] & (1 << 5))) level = __ISA_AVAILABLE_AVX2;
  long enabled = 0;
  for (int each = __ISA_AVAILABLE_X86; each <= level; ++each) {
    if (each != __ISA_AVAILABLE_ENFSTRG) enabled |= 1L << each;
  }
  __isa_available = level;
  __isa_enabled = enabled;
#endif
}
