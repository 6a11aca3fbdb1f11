// Wine's wchar.h, with the UCRT's mbstate_t (Wine's int is renamed out of
// the way) and the wide-character functions the UCRT has and <cwchar> names.
#pragma once
#include <vcruntime.h>
#define mbstate_t quillmar_wine_mbstate_t
#include_next <wchar.h>
#undef mbstate_t
typedef _Mbstatet mbstate_t;

#ifdef __cplusplus
// The restartable conversions with the UCRT's state; ucrtbase.dll keeps its
// state within the first bytes of it.
extern "C++" {
inline size_t __cdecl mbrlen(const char* text, size_t size, mbstate_t* state) {
  return mbrlen(text, size, reinterpret_cast<quillmar_wine_mbstate_t*>(state));
}
inline size_t __cdecl mbrtowc(wchar_t* out, const char* text, size_t size, mbstate_t* state) {
  return mbrtowc(out, text, size, reinterpret_cast<quillmar_wine_mbstate_t*>(state));
}
inline size_t __cdecl mbsrtowcs(wchar_t* out, const char** text, size_t size, mbstate_t* state) {
  return mbsrtowcs(out, text, size, reinterpret_cast<quillmar_wine_mbstate_t*>(state));
}
inline size_t __cdecl wcrtomb(char* out, wchar_t character, mbstate_t* state) {
  return wcrtomb(out, character, reinterpret_cast<quillmar_wine_mbstate_t*>(state));
}
inline size_t __cdecl wcsrtombs(char* out, const wchar_t** text, size_t size, mbstate_t* state) {
  return wcsrtombs(out, text, size, reinterpret_cast<quillmar_wine_mbstate_t*>(state));
}
}
#endif

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
