// Wine's synchapi.h needs windef.h's types before it, which the SDK's does
// not (the STL's sources include it alone); Wine's winbase.h includes it
// after them, here once this header has started, so it comes last.
#pragma once
// clang-format off
#include <stdarg.h>
#include <windef.h>
#include <winbase.h>
#include_next <synchapi.h>
// clang-format on
