// The entry point of a console program with main (the linker's default,
// mainCRTStartup): the UCRT learns the program's kind and parses the
// command line, the module starts, main runs, and exit runs the module's
// atexit table through the UCRT's own.
#include "startup.h"

typedef enum { quillmar_console_app = 1 } QuillmarAppType;
typedef enum { quillmar_argv_unexpanded = 1 } QuillmarArgvMode;
__declspec(dllimport) void __cdecl _set_app_type(QuillmarAppType type);
__declspec(dllimport) int __cdecl _configure_narrow_argv(QuillmarArgvMode mode);
__declspec(dllimport) int __cdecl _initialize_narrow_environment(void);
__declspec(dllimport) char** __cdecl _get_initial_narrow_environment(void);
__declspec(dllimport) int* __cdecl __p___argc(void);
__declspec(dllimport) char*** __cdecl __p___argv(void);
__declspec(dllimport) __declspec(noreturn) void __cdecl exit(int status);
__declspec(dllimport) __declspec(noreturn) void __cdecl _exit(int status);

int main(int argc, char** argv, char** environment);

static void __cdecl end_program(void) { quillmar_end_module(); }

int mainCRTStartup(void) {
  __security_init_cookie();
  _set_app_type(quillmar_console_app);
  if (_configure_narrow_argv(quillmar_argv_unexpanded) != 0 ||
      _initialize_narrow_environment() != 0 || !quillmar_start_module() ||
      _crt_atexit(end_program) != 0) {
    _exit(255);
  }
  exit(main(*__p___argc(), *__p___argv(), _get_initial_narrow_environment()));
}
