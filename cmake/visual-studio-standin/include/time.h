// Wine's time.h, with timespec, timespec_get and localtime_s, which the
// UCRT has and the STL and GoogleTest name.
#pragma once
#include_next <time.h>

#ifndef _CRT_TIMESPEC_DEFINED
#define _CRT_TIMESPEC_DEFINED
struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
#endif
#ifndef TIME_UTC
#define TIME_UTC 1
#endif

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP int __cdecl timespec_get(struct timespec*, int);
#ifdef __cplusplus
}
#endif
// An inline function in the UCRT's header: ucrtbase.dll exports only the
// 64-bit one.
static __inline errno_t __cdecl localtime_s(struct tm* result, const time_t* time) {
  return _localtime64_s(result, time);
}
