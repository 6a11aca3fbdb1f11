// Wine's winnt.h, whose inline InterlockedCompareExchange128 would define
// the compiler's builtin _InterlockedCompareExchange128 under clang-cl: it
// is renamed, and the name goes to the builtin.
#pragma once
#define _InterlockedCompareExchange128 quillmar_wine_InterlockedCompareExchange128
#include_next <winnt.h>
#undef _InterlockedCompareExchange128
