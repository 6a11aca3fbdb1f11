// Shared by the start-up pieces: the UCRT's start-up calls (ucrtbase.dll
// exports them) and what one piece asks of another.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void(__cdecl* QuillmarVoidInit)(void);
typedef int(__cdecl* QuillmarIntInit)(void);
typedef int(__cdecl* _onexit_t)(void);
typedef struct _onexit_table_t {
  QuillmarVoidInit* _first;
  QuillmarVoidInit* _last;
  QuillmarVoidInit* _end;
} _onexit_table_t;

__declspec(dllimport) void __cdecl _initterm(const QuillmarVoidInit* first,
                                             const QuillmarVoidInit* last);
__declspec(dllimport) int __cdecl _initterm_e(const QuillmarIntInit* first,
                                              const QuillmarIntInit* last);
__declspec(dllimport) int __cdecl _initialize_onexit_table(_onexit_table_t* table);
__declspec(dllimport) int __cdecl _register_onexit_function(_onexit_table_t* table,
                                                            _onexit_t function);
__declspec(dllimport) int __cdecl _execute_onexit_table(_onexit_table_t* table);
__declspec(dllimport) int __cdecl _crt_atexit(QuillmarVoidInit function);

void __cdecl __security_init_cookie(void);

// Runs the module's initializers; 0 when one of the C ones fails.
int quillmar_start_module(void);
// Runs the module's atexit table and frees its cached type names.
void quillmar_end_module(void);
// Sets the STL's instruction-set level (isa.c).
void quillmar_detect_isa(void);
// type_info::name()'s cache of this module (type_info.cc).
void quillmar_end_type_names(void);

#ifdef __cplusplus
}
#endif
