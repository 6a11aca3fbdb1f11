# Builds the Windows build as Microsoft's toolchain does, with clang-cl 19 in
# MSVC mode over Microsoft's STL, Wine's CRT and SDK headers and the headers
# of cmake/visual-studio-standin/include, linked with lld-link against the
# Visual C++ runtime DLLs (/MD) and what cmake/visual-studio-standin/ gives
# in place of Visual Studio's libraries. QUILLMAR_MSVC_ARCH=ARM64 compiles
# for Windows on Arm instead, to object files only (nothing here runs it).
set(CMAKE_SYSTEM_NAME Windows)
# The compiler checks read this file again and need the same target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLMAR_MSVC_ARCH)
if(QUILLMAR_MSVC_ARCH STREQUAL "ARM64")
  set(CMAKE_SYSTEM_PROCESSOR ARM64)
  set(quillmar_msvc_target aarch64-pc-windows-msvc)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(quillmar_msvc_target x86_64-pc-windows-msvc)
endif()

set(CMAKE_C_COMPILER /usr/lib/llvm-19/bin/clang-cl)
set(CMAKE_CXX_COMPILER /usr/lib/llvm-19/bin/clang-cl)
set(CMAKE_LINKER /usr/lib/llvm-19/bin/lld-link)
set(CMAKE_AR /usr/lib/llvm-19/bin/llvm-lib)
set(CMAKE_RC_COMPILER /usr/lib/llvm-19/bin/llvm-rc)
set(CMAKE_MT /usr/lib/llvm-19/bin/llvm-mt)
set(CMAKE_C_COMPILER_TARGET ${quillmar_msvc_target})
set(CMAKE_CXX_COMPILER_TARGET ${quillmar_msvc_target})
# Every compile through the compiler cache where there is one, unless
# QUILLMAR_NO_CCACHE is set (ccache 4.7 puts clang-cl's object beside the
# sources in a multi-config build).
find_program(QUILLMAR_CCACHE ccache)
if(QUILLMAR_CCACHE AND NOT DEFINED ENV{QUILLMAR_NO_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${QUILLMAR_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${QUILLMAR_CCACHE})
endif()

# Microsoft's STL: ../shared/toolchains/msvc-stl/stl/inc beside the
# repository, or QUILLMAR_MSVC_STL_INC.
if(DEFINED ENV{QUILLMAR_MSVC_STL_INC})
  set(QUILLMAR_MSVC_STL_INC $ENV{QUILLMAR_MSVC_STL_INC})
else()
  get_filename_component(QUILLMAR_MSVC_STL_INC
    ${CMAKE_CURRENT_LIST_DIR}/../../shared/toolchains/msvc-stl/stl/inc ABSOLUTE)
endif()
if(NOT EXISTS ${QUILLMAR_MSVC_STL_INC}/yvals_core.h)
  message(FATAL_ERROR "Microsoft's STL headers not found at ${QUILLMAR_MSVC_STL_INC}")
endif()
set(QUILLMAR_MSVC_STL_INC ${QUILLMAR_MSVC_STL_INC} CACHE PATH "Microsoft's STL headers")

# The compatibility headers come first: some wrap Wine's of the same name.
set(QUILLMAR_MSVC_COMPAT_INC ${CMAKE_CURRENT_LIST_DIR}/visual-studio-standin/include)
set(quillmar_msvc_flags
  "-fms-compatibility-version=19.44 /Zc:__cplusplus /permissive- /EHsc /GS /DWINE_UNICODE_NATIVE"
  "-imsvc ${QUILLMAR_MSVC_COMPAT_INC} -imsvc ${QUILLMAR_MSVC_STL_INC}"
  "-imsvc /usr/include/wine/wine/msvcrt -imsvc /usr/include/wine/wine/windows")
string(JOIN " " quillmar_msvc_flags ${quillmar_msvc_flags})
set(CMAKE_C_FLAGS_INIT "${quillmar_msvc_flags}")
set(CMAKE_CXX_FLAGS_INIT "${quillmar_msvc_flags}")

# The runtime Flutter's Release and Profile builds use (Wine has no debug
# runtime), unless the build chooses.
if(NOT DEFINED CMAKE_MSVC_RUNTIME_LIBRARY)
  set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
endif()
# The libraries of a link are the stand-in's (visual-studio-standin/standin.cmake,
# included after each project()), not Visual Studio's default list.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "Given by the Visual Studio stand-in")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "Given by the Visual Studio stand-in")
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/visual-studio-standin/standin.cmake)

# The compiler checks do not link: the start-up pieces are built by the
# project itself.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A compile-only check would take POSIX threads for found; Windows' own are
# the ones an MSVC build uses (GoogleTest reads the result).
foreach(check CMAKE_HAVE_LIBC_PTHREAD CMAKE_HAVE_PTHREADS_CREATE CMAKE_HAVE_PTHREAD_CREATE
        THREADS_HAVE_PTHREAD_ARG)
  set(${check} FALSE CACHE INTERNAL "No POSIX threads in an MSVC build")
endforeach()

# CTest (and gtest_discover_tests) run the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
