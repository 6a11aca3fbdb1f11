// The STL's sources include <Windows.h>, as Windows' file system does not
// mind case; Wine's header is windows.h.
#pragma once
#include <windows.h>
