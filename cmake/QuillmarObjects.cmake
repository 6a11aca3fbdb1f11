# quillmar_objects: the object files of every target of this build, compiled
# and not linked, for a toolchain with no libraries to link against (the
# MSVC-mode compile). The list of targets is the build's own.

function(quillmar_collect_targets directory out)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    quillmar_collect_targets(${subdirectory} sub_targets)
    list(APPEND targets ${sub_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The package's export and the application's generated registrant, as the
# Flutter tool compiles a plug-in target and the application: warnings are
# errors, unused parameters allowed, no exceptions in the STL.
add_library(quillmar_flutter_plugin_flags OBJECT
  ${CMAKE_SOURCE_DIR}/plugin/export.cc
  ${CMAKE_SOURCE_DIR}/tests/package_windows/app/flutter/generated_plugin_registrant.cc)
target_link_libraries(quillmar_flutter_plugin_flags PRIVATE quillmar_plugin)
target_include_directories(quillmar_flutter_plugin_flags PRIVATE
  ${CMAKE_SOURCE_DIR}/windows/include ${CMAKE_SOURCE_DIR}/tests/package_windows/app/wrapper)
target_compile_definitions(quillmar_flutter_plugin_flags PRIVATE
  QUILLMAR_CORE_WINDOWS_IMPLEMENTATION _HAS_EXCEPTIONS=0)
target_compile_options(quillmar_flutter_plugin_flags PRIVATE /W4 /WX /wd4100 /EHsc)

quillmar_collect_targets(${CMAKE_SOURCE_DIR} quillmar_targets)
set(quillmar_objects)
foreach(target IN LISTS quillmar_targets)
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE|OBJECT_LIBRARY)$")
    list(APPEND quillmar_objects $<TARGET_OBJECTS:${target}>)
  endif()
endforeach()
add_custom_target(quillmar_objects DEPENDS ${quillmar_objects})
