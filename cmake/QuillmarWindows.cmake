# Helpers of the Windows build.

# The resource script that embeds the Windows 10 manifest in a program.
set(QUILLMAR_WINDOWS10_MANIFEST_RC ${CMAKE_BINARY_DIR}/windows10-manifest.rc)
file(WRITE ${QUILLMAR_WINDOWS10_MANIFEST_RC}.in
  "1 24 \"${CMAKE_SOURCE_DIR}/cmake/windows10.manifest\"\n")
configure_file(${QUILLMAR_WINDOWS10_MANIFEST_RC}.in ${QUILLMAR_WINDOWS10_MANIFEST_RC} COPYONLY)

# Gives `target` (a program) the manifest that declares Windows 10 support
# (resource type RT_MANIFEST, id 1: the process's own manifest).
function(quillmar_declare_windows10 target)
  target_sources(${target} PRIVATE ${QUILLMAR_WINDOWS10_MANIFEST_RC})
  set_property(SOURCE ${QUILLMAR_WINDOWS10_MANIFEST_RC} APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/cmake/windows10.manifest)
endfunction()
