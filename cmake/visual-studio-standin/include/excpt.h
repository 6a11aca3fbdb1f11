// Wine's excpt.h, with GetExceptionCode as the SDK's names it for Microsoft's
// compiler (Wine does so only when asked for compiler exceptions).
#pragma once
#include_next <excpt.h>

#ifndef GetExceptionCode
#define GetExceptionCode _exception_code
unsigned long __cdecl _exception_code(void);
#endif
