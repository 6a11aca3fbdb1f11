// Wine's stdlib.h, with what the UCRT's has besides and the STL relies on:
// the quick-exit pair, _set_abort_behavior, abs for long and long long in C++, and ERANGE (the
// STL's <string> uses it without including <cerrno>).
#pragma once
#include <errno.h>
#include_next <stdlib.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP int __cdecl at_quick_exit(void(__cdecl*)(void));
_ACRTIMP DECLSPEC_NORETURN void __cdecl quick_exit(int);
_ACRTIMP unsigned int __cdecl _set_abort_behavior(unsigned int, unsigned int);
#ifdef __cplusplus
}

extern "C++" {
inline long __cdecl abs(long x) noexcept { return labs(x); }
inline long long __cdecl abs(long long x) noexcept { return llabs(x); }
}
#endif
