# Compiles the Windows build as Microsoft's compiler does, with clang-cl 19 in
# MSVC mode over Microsoft's STL, Wine's CRT and SDK headers and the headers
# of cmake/msvc-compat/. Object files only: no Microsoft runtime libraries
# are here to link against.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER /usr/lib/llvm-19/bin/clang-cl)
set(CMAKE_CXX_COMPILER /usr/lib/llvm-19/bin/clang-cl)
set(CMAKE_LINKER /usr/lib/llvm-19/bin/lld-link)
set(CMAKE_AR /usr/lib/llvm-19/bin/llvm-lib)
set(CMAKE_RC_COMPILER /usr/lib/llvm-19/bin/llvm-rc)
set(CMAKE_MT /usr/lib/llvm-19/bin/llvm-mt)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

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
set(QUILLMAR_MSVC_COMPAT_INC ${CMAKE_CURRENT_LIST_DIR}/msvc-compat)
set(quillmar_msvc_flags
  "-fms-compatibility-version=19.44 /Zc:__cplusplus /permissive- /EHsc /DWINE_UNICODE_NATIVE"
  "-imsvc ${QUILLMAR_MSVC_COMPAT_INC} -imsvc ${QUILLMAR_MSVC_STL_INC}"
  "-imsvc /usr/include/wine/wine/msvcrt -imsvc /usr/include/wine/wine/windows")
string(JOIN " " quillmar_msvc_flags ${quillmar_msvc_flags})
set(CMAKE_C_FLAGS_INIT "${quillmar_msvc_flags}")
set(CMAKE_CXX_FLAGS_INIT "${quillmar_msvc_flags}")

# Nothing links here, the compiler checks included.
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
