# Windows Runtime declarations for the Windows build: C++ headers generated
# at build time with Debian's widl 8 (wine64-tools) from our own IDL in
# platform/windows/idl/ and the Windows.Foundation IDL it imports from Wine's
# (libwine-dev). mingw-w64's own widl (7) cannot read Wine 8's IDL, and
# mingw-w64's Foundation header does not compile as C++.
find_program(QUILLMAR_WIDL NAMES widl PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(QUILLMAR_WINE_IDL_DIR /usr/include/wine/wine/windows)
if(NOT EXISTS ${QUILLMAR_WINE_IDL_DIR}/windows.foundation.idl)
  message(FATAL_ERROR "Wine's IDL files are missing: install libwine-dev")
endif()
execute_process(COMMAND ${QUILLMAR_WIDL} -V OUTPUT_VARIABLE widl_version ERROR_VARIABLE widl_version)
if(NOT widl_version MATCHES "version ([0-9]+)")
  message(FATAL_ERROR "${QUILLMAR_WIDL} does not say its version")
elseif(CMAKE_MATCH_1 LESS 8)
  message(FATAL_ERROR "${QUILLMAR_WIDL} is widl ${CMAKE_MATCH_1}; the runtime IDL needs widl 8")
endif()

set(QUILLMAR_RUNTIME_HEADER_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated/runtime)
file(GLOB QUILLMAR_RUNTIME_IDL CONFIGURE_DEPENDS ${QUILLMAR_SOURCE_ROOT}/platform/windows/idl/*.idl)
set(QUILLMAR_RUNTIME_HEADERS)

# Generates DIRECTORY/NAME.idl into NAME.h; each header depends on every IDL
# file it may import.
function(quillmar_generate_runtime_header directory name)
  set(header ${QUILLMAR_RUNTIME_HEADER_DIR}/${name}.h)
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLMAR_RUNTIME_HEADER_DIR}
    COMMAND ${QUILLMAR_WIDL} -I${QUILLMAR_WINE_IDL_DIR} -I${QUILLMAR_SOURCE_ROOT}/platform/windows/idl
            -h -o ${header} ${directory}/${name}.idl
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
  quillmar_generate_runtime_header(${QUILLMAR_SOURCE_ROOT}/platform/windows/idl ${name})
endforeach()

add_custom_target(quillmar_runtime_headers DEPENDS ${QUILLMAR_RUNTIME_HEADERS})

# Gives `target` the generated headers, built before it compiles.
function(quillmar_use_runtime_headers target)
  add_dependencies(${target} quillmar_runtime_headers)
  target_include_directories(${target} PUBLIC ${QUILLMAR_RUNTIME_HEADER_DIR})
endfunction()
