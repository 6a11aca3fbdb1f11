# What Visual Studio's libraries give a link, standing in for them in a
# linked MSVC-ABI build here (preset msvc); included after each project()
# by cmake/clang-cl-msvc.cmake. Every target of the project links against:
# - import libraries written at build time from the export tables of Wine's
#   DLLs (the Visual C++ runtime, the UCRT and the system DLLs the build
#   names), in lib/ of the build;
# - the start-up pieces (startup/, ours), first on every link line so that
#   they, not a DLL's export, give what a module carries itself;
# - the static half of msvcprt.lib that the build needs, compiled in place
#   from Microsoft's STL sources, and what of it is built over msvcp140.dll.
if(PROJECT_NAME STREQUAL "CMAKE_TRY_COMPILE")
  return()
endif()
include_guard(GLOBAL)
if(QUILLMAR_OBJECTS_ONLY OR NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
  return()
endif()

enable_language(C)
set(QUILLMAR_WINE_DLLS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
  CACHE PATH "Wine's x86-64 DLLs, whose export tables the import libraries are read from")
set(standin_dir ${CMAKE_CURRENT_LIST_DIR})
set(standin_lib ${CMAKE_BINARY_DIR}/visual-studio-standin/lib)
file(MAKE_DIRECTORY ${standin_lib})

# library name -> the DLL it imports from.
set(standin_import_libraries
  msvcp140 vcruntime140 ucrtbase kernel32 user32 advapi32 ole32 oleaut32 bcrypt crypt32
  winhttp)
set(standin_import_files)
foreach(library IN LISTS standin_import_libraries)
  add_custom_command(OUTPUT ${standin_lib}/${library}.lib
    COMMAND ${standin_dir}/import-library ${QUILLMAR_WINE_DLLS}/${library}.dll
            ${standin_lib}/${library}.lib
    DEPENDS ${standin_dir}/import-library ${QUILLMAR_WINE_DLLS}/${library}.dll
    COMMENT "Import library ${library}.lib from Wine's ${library}.dll" VERBATIM)
  list(APPEND standin_import_files ${standin_lib}/${library}.lib)
endforeach()
# runtimeobject.lib names the runtime's string and activation calls, which
# combase.dll implements (Windows reaches them through API sets).
add_custom_command(OUTPUT ${standin_lib}/runtimeobject.lib
  COMMAND ${standin_dir}/import-library ${QUILLMAR_WINE_DLLS}/combase.dll
          ${standin_lib}/runtimeobject.lib combase.dll
  DEPENDS ${standin_dir}/import-library ${QUILLMAR_WINE_DLLS}/combase.dll VERBATIM)
list(APPEND standin_import_files ${standin_lib}/runtimeobject.lib)
add_custom_target(quillmar_vs_import_libraries DEPENDS ${standin_import_files})

# The start-up pieces and the static half of msvcprt.lib, compiled without
# /GS: the cookie is set up by them.
file(GLOB standin_startup_sources CONFIGURE_DEPENDS ${standin_dir}/startup/*.c
  ${standin_dir}/startup/*.cc)
add_library(quillmar_vs_startup STATIC ${standin_startup_sources})
target_compile_options(quillmar_vs_startup PRIVATE /GS-)
set_target_properties(quillmar_vs_startup PROPERTIES CXX_STANDARD 20)
add_dependencies(quillmar_vs_startup quillmar_vs_import_libraries)

# The static half of msvcprt.lib: the files of its list
# (stl/msbuild/stl_base/stl.files.settings.targets) that the build's links
# need, compiled in place, each but the condition variable's wait, which
# works on msvcp140.dll's objects and is built over its exports
# (msvcprt/condition_wait.cc); sharedmutex.cpp's own copy of it is renamed
# out of the way.
get_filename_component(standin_stl_src ${QUILLMAR_MSVC_STL_INC}/../src ABSOLUTE)
set(standin_stl_sources xonce2.cpp sharedmutex.cpp syserror_import_lib.cpp filesystem.cpp
  locale0_implib.cpp nothrow.cpp regex.cpp
  xcharconv_ryu_tables.cpp)
list(TRANSFORM standin_stl_sources PREPEND ${standin_stl_src}/)
# cl.exe takes a dependent member template without the `template` keyword,
# clang 19 does not: vector_algorithms.cpp is compiled from a copy that
# adds it where the file leaves it out, nothing else changed.
set(standin_vector_algorithms ${CMAKE_BINARY_DIR}/visual-studio-standin/vector_algorithms.cpp)
add_custom_command(OUTPUT ${standin_vector_algorithms}
  COMMAND sed -E "s/_Traits::(_Shuffle_avx|_Spread_avx)</_Traits::template \\1</g"
          ${standin_stl_src}/vector_algorithms.cpp > ${standin_vector_algorithms}
  DEPENDS ${standin_stl_src}/vector_algorithms.cpp VERBATIM)
list(APPEND standin_stl_sources ${standin_vector_algorithms})
add_library(quillmar_vs_msvcprt STATIC ${standin_stl_sources}
  ${standin_dir}/msvcprt/condition_wait.cc ${standin_dir}/msvcprt/intrinsics.c)
target_compile_definitions(quillmar_vs_msvcprt PRIVATE _DISABLE_CONSTEXPR_MUTEX_CONSTRUCTOR)
set_property(SOURCE ${standin_stl_sources} APPEND PROPERTY COMPILE_DEFINITIONS
  _ENFORCE_ONLY_CORE_HEADERS)
target_include_directories(quillmar_vs_msvcprt PRIVATE ${standin_stl_src})
set_property(SOURCE ${standin_stl_src}/sharedmutex.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  _Cnd_timedwait_for_unchecked=_Cnd_timedwait_for_unchecked_over_stl_layout
  _Cnd_timedwait_for=_Cnd_timedwait_for_over_stl_layout)
set_property(SOURCE ${standin_stl_src}/filesystem.cpp ${standin_stl_src}/regex.cpp APPEND
  PROPERTY COMPILE_OPTIONS /FI${standin_dir}/msvcprt/sdk_additions.h)
target_compile_options(quillmar_vs_msvcprt PRIVATE /GS-)
set_target_properties(quillmar_vs_msvcprt PROPERTIES CXX_STANDARD 20)
# cl.exe lets any function use AVX intrinsics; clang needs the instruction
# sets for the whole file (so this stand-in wants an AVX2 machine).
set_property(SOURCE ${standin_vector_algorithms} APPEND PROPERTY COMPILE_OPTIONS
  -mavx2 -mbmi -mbmi2 -mlzcnt -mpopcnt -msse4.2)
target_link_libraries(quillmar_vs_startup INTERFACE quillmar_vs_msvcprt)

string(APPEND CMAKE_EXE_LINKER_FLAGS " /nodefaultlib /libpath:${standin_lib}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " /nodefaultlib /libpath:${standin_lib}")
string(APPEND CMAKE_MODULE_LINKER_FLAGS " /nodefaultlib /libpath:${standin_lib}")
link_libraries(quillmar_vs_startup msvcp140.lib vcruntime140.lib ucrtbase.lib kernel32.lib)
