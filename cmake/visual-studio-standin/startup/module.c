// What every module (program or DLL) gets from Visual Studio's static
// libraries before and after its own code: the /GS cookie, the C and C++
// initializers the compiler lists in .CRT$XI* and .CRT$XC*, the module's
// own atexit table (static destructors, run by exit in a program and at
// unload in a DLL), and _fltused, which the compiler references from every
// object that uses floating point.
#include "startup.h"

#include <windows.h>

// The compiler's lists; the linker sorts .CRT$XIA < .CRT$XIU < .CRT$XIZ.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XIA")) static const QuillmarIntInit first_c_init = 0;
__declspec(allocate(".CRT$XIZ")) static const QuillmarIntInit last_c_init = 0;
__declspec(allocate(".CRT$XCA")) static const QuillmarVoidInit first_cxx_init = 0;
__declspec(allocate(".CRT$XCZ")) static const QuillmarVoidInit last_cxx_init = 0;

int _fltused = 0x9875;

// x64's documented default; replaced at start-up before any protected
// function returns.
uintptr_t __security_cookie = 0x00002B992DDFA232ull;

void __cdecl __security_init_cookie(void) {
  FILETIME now;
  LARGE_INTEGER counter;
  uintptr_t cookie;
  GetSystemTimeAsFileTime(&now);
  QueryPerformanceCounter(&counter);
  cookie = ((uintptr_t)now.dwHighDateTime << 32) ^ now.dwLowDateTime;
  cookie ^= (uintptr_t)GetCurrentProcessId() << 32 ^ GetCurrentThreadId();
  cookie ^= (uintptr_t)counter.QuadPart << 32 ^ (uintptr_t)counter.QuadPart;
  cookie ^= (uintptr_t)&cookie;
  // The top 16 bits stay clear, as Microsoft's do on x64.
  cookie &= 0x0000FFFFFFFFFFFFull;
  if (cookie == 0x00002B992DDFA232ull) ++cookie;
  __security_cookie = cookie;
}

// A smashed stack ends the process at once: nothing of it may run on.
void __cdecl __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
}

static _onexit_table_t module_exit_table;

// atexit itself; the UCRT's header declares it imported.
int __cdecl module_atexit(void(__cdecl* function)(void)) __asm__("atexit");
int __cdecl module_atexit(void(__cdecl* function)(void)) {
  return _register_onexit_function(&module_exit_table, (_onexit_t)function) == 0 ? 0 : -1;
}

int quillmar_start_module(void) {
  quillmar_detect_isa();
  if (_initialize_onexit_table(&module_exit_table) != 0) return 0;
  if (_initterm_e(&first_c_init, &last_c_init) != 0) return 0;
  _initterm(&first_cxx_init, &last_cxx_init);
  return 1;
}

void quillmar_end_module(void) {
  _execute_onexit_table(&module_exit_table);
  quillmar_end_type_names();
}
