// The part of Microsoft's closed-source vcruntime.h that the STL's headers
// use: calling-convention and linkage macros, the C-header brackets and the
// basic types (from Wine's corecrt.h).
#pragma once

#include <corecrt.h>

#define _VCRUNTIME_H
#define _CRT_PACKING 8
#define _VCRTIMP __declspec(dllimport)
#define _CRTIMP2_IMPORT __declspec(dllimport)
#define __CRTDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CLRCALL_OR_CDECL __cdecl
#define __CLR_OR_THIS_CALL
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)

#ifndef _HAS_EXCEPTIONS
#define _HAS_EXCEPTIONS 1
#endif

#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING)) extern "C" {
#define _CRT_END_C_HEADER \
  }                       \
  __pragma(pack(pop))
#else
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING))
#define _CRT_END_C_HEADER __pragma(pack(pop))
#endif

#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNUSED(x) (void)x
#define _CRT_GUARDOVERFLOW
#define _CRT_HYBRIDPATCHABLE

#ifndef _HAS_NODISCARD
#define _HAS_NODISCARD 1
#endif
#if _HAS_NODISCARD
#define _NODISCARD [[nodiscard]]
#else
#define _NODISCARD
#endif

#define _CRTIMP2 __declspec(dllimport)
#define _MRTIMP2 _CRTIMP2
// Managed-code and satellite-DLL variants: plain native declarations here.
#define _PGLOBAL
#define _CRT_SATELLITE_CODECVT_IDS
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)

#if defined(__has_cpp_attribute) && __has_cpp_attribute(msvc::constexpr)
#define _MSVC_CONSTEXPR [[msvc::constexpr]]
#else
#define _MSVC_CONSTEXPR
#endif

// The language level the STL's headers test, from the compiler's /std.
#ifndef _HAS_CXX17
#define _HAS_CXX17 (_MSVC_LANG > 201402L)
#endif
#ifndef _HAS_CXX20
#define _HAS_CXX20 (_HAS_CXX17 && _MSVC_LANG > 201703L)
#endif
#ifndef _HAS_CXX23
#define _HAS_CXX23 (_HAS_CXX20 && _MSVC_LANG > 202002L)
#endif

// The UCRT's conversion state (Wine's mbstate_t is an int): its size and its
// name are part of the names msvcp140.dll exports (codecvt<wchar_t, char,
// _Mbstatet>); wchar.h makes mbstate_t this type.
#ifndef _MBSTATET_DEFINED
#define _MBSTATET_DEFINED
typedef struct _Mbstatet {
  unsigned long _Wchar;
  unsigned short _Byte, _State;
} _Mbstatet;
#endif
