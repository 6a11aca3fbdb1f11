// Wine's crtdbg.h, with the report modes, report file and heap flags the
// UCRT's defines.
#pragma once
#include_next <crtdbg.h>

#ifndef _CRTDBG_MODE_FILE
#define _CRTDBG_MODE_FILE 0x1
#define _CRTDBG_MODE_DEBUG 0x2
#define _CRTDBG_MODE_WNDW 0x4
#define _CRTDBG_REPORT_MODE (-1)
#endif
#ifndef _CRTDBG_FILE_STDERR
typedef void* _HFILE;
#define _CRTDBG_FILE_STDERR ((_HFILE)-5)
// Without the debug runtime the UCRT's header makes it do nothing, as Wine's
// does _CrtSetReportMode.
#ifdef _DEBUG
#ifdef __cplusplus
extern "C"
#endif
    _ACRTIMP _HFILE __cdecl _CrtSetReportFile(int, _HFILE);
#else
#define _CrtSetReportFile(type, file) ((_HFILE)0)
#endif
#endif
#ifndef _CRTDBG_ALLOC_MEM_DF
#define _CRTDBG_ALLOC_MEM_DF 0x01
#define _CRTDBG_REPORT_FLAG (-1)
#endif
