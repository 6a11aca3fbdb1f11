// The instruction-set levels of Microsoft's closed-source isa_availability.h
// (the STL's <__msvc_bit_utils.hpp> repeats SSE4.2 = 2 and AVX2 = 5), for
// the STL's vectorised algorithms and the start-up piece that detects them.
#pragma once

enum ISA_AVAILABILITY {
  __ISA_AVAILABLE_X86 = 0,
  __ISA_AVAILABLE_SSE2 = 1,
  __ISA_AVAILABLE_SSE42 = 2,
  __ISA_AVAILABLE_AVX = 3,
  __ISA_AVAILABLE_ENFSTRG = 4,
  __ISA_AVAILABLE_AVX2 = 5,
  __ISA_AVAILABLE_AVX512 = 6,
};
