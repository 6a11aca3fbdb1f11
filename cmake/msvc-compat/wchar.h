// Wine's wchar.h, with the wide-character functions the UCRT has and <cwchar>
// names.
#pragma once
#include_next <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP int __cdecl fwide(FILE*, int);
_ACRTIMP int __cdecl mbsinit(const mbstate_t*);
_ACRTIMP int __cdecl vfwscanf(FILE*, const wchar_t*, va_list);
_ACRTIMP int __cdecl vswscanf(const wchar_t*, const wchar_t*, va_list);
_ACRTIMP int __cdecl vwscanf(const wchar_t*, va_list);
_ACRTIMP long double __cdecl wcstold(const wchar_t*, wchar_t**);
#ifdef __cplusplus
}
#endif
