# Windows Runtime declarations for the Windows build: C++ headers generated
# with Debian's widl 8 (wine64-tools) from our own IDL in
# platform/windows/idl/ and the Windows.Foundation IDL it imports from Wine's
# (libwine-dev). mingw-w64's own widl (7) cannot read Wine 8's IDL, and
# mingw-w64's Foundation header does not compile as C++.
#
# The generated headers are also checked in (platform/windows/idl/generated/)
# for builds without widl 8, such as MSVC on Windows. Where widl 8 is found,
# the headers are generated at build time and the test
# `runtime_headers_checked_in` fails when the checked-in copies differ;
# scripts/update-runtime-headers refreshes them.
# QUILLMAR_CHECKED_IN_RUNTIME_HEADERS=ON uses the checked-in copies even where
# widl 8 is found.
option(QUILLMAR_CHECKED_IN_RUNTIME_HEADERS "Use the checked-in runtime headers" OFF)
set(QUILLMAR_RUNTIME_IDL_DIR ${QUILLMAR_SOURCE_ROOT}/platform/windows/idl)
set(QUILLMAR_CHECKED_IN_RUNTIME_HEADER_DIR ${QUILLMAR_RUNTIME_IDL_DIR}/generated)
set(QUILLMAR_WINE_IDL_DIR /usr/include/wine/wine/windows)

set(QUILLMAR_RUNTIME_HEADERS_GENERATED OFF)
if(NOT QUILLMAR_CHECKED_IN_RUNTIME_HEADERS)
  find_program(QUILLMAR_WIDL NAMES widl PATHS /usr/bin NO_DEFAULT_PATH)
  if(QUILLMAR_WIDL AND EXISTS ${QUILLMAR_WINE_IDL_DIR}/windows.foundation.idl)
    execute_process(COMMAND ${QUILLMAR_WIDL} -V OUTPUT_VARIABLE widl_version
                    ERROR_VARIABLE widl_version)
    if(widl_version MATCHES "version ([0-9]+)" AND NOT CMAKE_MATCH_1 LESS 8)
      set(QUILLMAR_RUNTIME_HEADERS_GENERATED ON)
    endif()
  endif()
endif()

if(QUILLMAR_RUNTIME_HEADERS_GENERATED)
  set(QUILLMAR_RUNTIME_HEADER_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated/runtime)
  file(GLOB QUILLMAR_RUNTIME_IDL CONFIGURE_DEPENDS ${QUILLMAR_RUNTIME_IDL_DIR}/*.idl)
  set(QUILLMAR_RUNTIME_HEADERS)

  # Generates DIRECTORY/NAME.idl into NAME.h; each header depends on every
  # IDL file it may import. widl runs in DIRECTORY on the file's bare name,
  # so the header names no path of this machine and compares equal to the
  # checked-in copy.
  function(quillmar_generate_runtime_header directory name)
    set(header ${QUILLMAR_RUNTIME_HEADER_DIR}/${name}.h)
    add_custom_command(
      OUTPUT ${header}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLMAR_RUNTIME_HEADER_DIR}
      COMMAND ${QUILLMAR_WIDL} -I${QUILLMAR_WINE_IDL_DIR} -I${QUILLMAR_RUNTIME_IDL_DIR}
              -h -o ${header} ${name}.idl
      WORKING_DIRECTORY ${directory}
      DEPENDS ${directory}/${name}.idl ${QUILLMAR_RUNTIME_IDL}
      COMMENT "widl ${name}.idl"
      VERBATIM)
    set(QUILLMAR_RUNTIME_HEADERS ${QUILLMAR_RUNTIME_HEADERS} ${header} PARENT_SCOPE)
  endfunction()

  foreach(name windowscontracts windows.foundation.collections windows.foundation)
    quillmar_generate_runtime_header(${QUILLMAR_WINE_IDL_DIR} ${name})
  endforeach()
  foreach(idl IN LISTS QUILLMAR_RUNTIME_IDL)
    get_filename_component(name ${idl} NAME_WE)
    quillmar_generate_runtime_header(${QUILLMAR_RUNTIME_IDL_DIR} ${name})
  endforeach()
  add_custom_target(quillmar_runtime_headers DEPENDS ${QUILLMAR_RUNTIME_HEADERS})
else()
  message(STATUS "Windows Runtime headers: the checked-in copies (no widl 8 here)")
  set(QUILLMAR_RUNTIME_HEADER_DIR ${QUILLMAR_CHECKED_IN_RUNTIME_HEADER_DIR})
  add_custom_target(quillmar_runtime_headers)
endif()

# Gives `target` the runtime headers, generated before it compiles. They
# come before the SDK's own headers of the same names.
function(quillmar_use_runtime_headers target)
  add_dependencies(${target} quillmar_runtime_headers)
  target_include_directories(${target} BEFORE PUBLIC ${QUILLMAR_RUNTIME_HEADER_DIR})
endfunction()
