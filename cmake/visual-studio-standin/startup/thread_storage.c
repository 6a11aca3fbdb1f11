// Thread-local storage as the compiler expects it of the runtime: the TLS
// directory the loader reads (_tls_used, the .tls template between
// _tls_start and _tls_end, the index it fills in), thread_local dynamic
// initialisation run on a thread's first use (__dyn_tls_on_demand_init
// behind the compiler's __tls_guard check, the initializers listed in
// .CRT$XD*), and thread_local destructors (__tlregdtor), run in reverse
// order by a TLS callback when the thread ends, the process's last one at
// its exit.
#include <windows.h>
#include <stdlib.h>

#include "startup.h"

ULONG _tls_index = 0;

#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;

#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLD", long, read)
#pragma section(".CRT$XLZ", long, read)
__declspec(allocate(".CRT$XLA")) const PIMAGE_TLS_CALLBACK __xl_a = 0;
__declspec(allocate(".CRT$XLZ")) const PIMAGE_TLS_CALLBACK __xl_z = 0;

#pragma section(".CRT$XDA", long, read)
#pragma section(".CRT$XDZ", long, read)
__declspec(allocate(".CRT$XDA")) static const QuillmarVoidInit first_tls_init = 0;
__declspec(allocate(".CRT$XDZ")) static const QuillmarVoidInit last_tls_init = 0;

const IMAGE_TLS_DIRECTORY64 _tls_used = {
    (ULONGLONG)&_tls_start, (ULONGLONG)&_tls_end, (ULONGLONG)&_tls_index,
    (ULONGLONG)(&__xl_a + 1), 0, 0};

__declspec(thread) unsigned char __tls_guard = 0;

void __cdecl __dyn_tls_init(void* module, DWORD reason, void* reserved) {
  (void)module;
  (void)reserved;
  if (reason != DLL_THREAD_ATTACH || __tls_guard) return;
  __tls_guard = 1;
  _initterm(&first_tls_init, &last_tls_init);
}

void __cdecl __dyn_tls_on_demand_init(void) { __dyn_tls_init(NULL, DLL_THREAD_ATTACH, NULL); }

typedef struct ThreadDestructor {
  QuillmarVoidInit function;
  struct ThreadDestructor* next;
} ThreadDestructor;
static __declspec(thread) ThreadDestructor* thread_destructors = NULL;

int __cdecl __tlregdtor(QuillmarVoidInit function) {
  ThreadDestructor* entry = malloc(sizeof *entry);
  if (entry == NULL) return -1;
  entry->function = function;
  entry->next = thread_destructors;
  thread_destructors = entry;
  return 0;
}

static void NTAPI run_thread_destructors(void* module, DWORD reason, void* reserved) {
  (void)module;
  (void)reserved;
  if (reason != DLL_THREAD_DETACH && reason != DLL_PROCESS_DETACH) return;
  while (thread_destructors != NULL) {
    ThreadDestructor* entry = thread_destructors;
    thread_destructors = entry->next;
    entry->function();
    free(entry);
  }
}
__declspec(allocate(".CRT$XLD")) const PIMAGE_TLS_CALLBACK quillmar_thread_destructors =
    run_thread_destructors;
