// Wine's stdio.h, with what the UCRT's has besides and the STL names: the
// scanf forms taking a va_list and the stream buffer's pointers.
#pragma once
#include_next <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP int __cdecl vfscanf(FILE*, const char*, va_list);
_ACRTIMP int __cdecl vscanf(const char*, va_list);
_ACRTIMP int __cdecl vsscanf(const char*, const char*, va_list);
_ACRTIMP errno_t __cdecl _get_stream_buffer_pointers(FILE*, char***, char***, int**);
#ifdef __cplusplus
}
#endif
