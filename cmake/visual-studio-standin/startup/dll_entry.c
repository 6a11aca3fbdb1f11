// The entry point of a DLL (the linker's default, _DllMainCRTStartup): the
// module starts at load and ends at unload, its atexit table run then, as a
// DLL's static objects live exactly as long as the DLL. None of our DLLs
// has a DllMain of its own; the default one agrees to everything.
#include <windows.h>

#include "startup.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved);

BOOL WINAPI quillmar_default_dll_main(HINSTANCE instance, DWORD reason, void* reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
#pragma comment(linker, "/alternatename:DllMain=quillmar_default_dll_main")

BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    __security_init_cookie();
    if (!quillmar_start_module()) {
      quillmar_end_module();
      return FALSE;
    }
    if (!DllMain(instance, reason, reserved)) {
      quillmar_end_module();
      return FALSE;
    }
    return TRUE;
  }
  BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH) quillmar_end_module();
  return result;
}
