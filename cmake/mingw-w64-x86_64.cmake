# Cross-builds the Windows DLL and its host with Debian's mingw-w64 (posix
# threads: the win32 flavour of GCC 12 has no std::mutex or std::thread) and
# runs the test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMAR_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${QUILLMAR_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and gtest_discover_tests start test programs through this.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
