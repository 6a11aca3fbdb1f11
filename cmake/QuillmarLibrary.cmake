# The library's layers, one static library each, ending in `quillmar_plugin`
# (everything of the plug-in but its export). Included by the repository's
# own build and by the Flutter plug-in package (windows/CMakeLists.txt).
# Set before including:
#   QUILLMAR_SOURCE_ROOT  the repository's root (its real path)
#   QUILLMAR_EMBEDDING    the target that gives the embedding's C API
#                         (flutter_windows.h and its import library)

if(WIN32)
  # The headers target Windows 10; the library still checks the version at
  # run time. The SDK's windows.h defines min and max as macros in C++ unless
  # told not to. Microsoft's STL (since Visual Studio 2022 17.10) builds
  # std::mutex in the header, which crashes at the first lock in a process
  # whose msvcp140.dll is older than the compiler; the application or
  # another plug-in chooses that DLL, so every translation unit of ours asks
  # for the DLL's own constructor (a mix in one DLL is an ODR violation).
  add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX
    _DISABLE_CONSTEXPR_MUTEX_CONSTRUCTOR)
endif()
find_package(Threads REQUIRED)

# One static library per layer, from every source of its folder (but those
# named after EXCLUDE), naming the layers below it that it uses.
# scripts/check-includes holds the sources to the same arrows.
function(quillmar_layer target)
  cmake_parse_arguments(LAYER "" "" "SOURCES;EXCLUDE;DEPENDS" ${ARGN})
  list(TRANSFORM LAYER_SOURCES PREPEND ${QUILLMAR_SOURCE_ROOT}/)
  file(GLOB sources CONFIGURE_DEPENDS ${LAYER_SOURCES})
  foreach(excluded IN LISTS LAYER_EXCLUDE)
    list(REMOVE_ITEM sources ${QUILLMAR_SOURCE_ROOT}/${excluded})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${QUILLMAR_SOURCE_ROOT})
    target_link_libraries(${target} PUBLIC ${LAYER_DEPENDS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${QUILLMAR_SOURCE_ROOT})
    target_link_libraries(${target} INTERFACE ${LAYER_DEPENDS})
  endif()
endfunction()

# base::SecureWipe is the one call of base/ whose body differs by OS; its
# definition lives beside the backends but belongs to base, with no
# dependencies of its own.
if(WIN32)
  set(QUILLMAR_SECURE_WIPE platform/windows/secure_wipe.cc)
else()
  set(QUILLMAR_SECURE_WIPE platform/linux/secure_wipe.cc)
endif()
add_library(quillmar_secure_wipe STATIC ${QUILLMAR_SOURCE_ROOT}/${QUILLMAR_SECURE_WIPE})
target_include_directories(quillmar_secure_wipe PRIVATE ${QUILLMAR_SOURCE_ROOT})
quillmar_layer(quillmar_base SOURCES base/*.cc DEPENDS quillmar_secure_wipe Threads::Threads)
# The codec and messenger: base and the embedding's C API, no backend.
quillmar_layer(quillmar_channel SOURCES channel/*.cc DEPENDS quillmar_base ${QUILLMAR_EMBEDDING})
# The platform's UTF-8/UTF-16 conversion (platform/text_conversion.h), apart
# from the rest of the backend: every user of the platform string needs it,
# the tests over fakes too.
if(WIN32)
  set(QUILLMAR_TEXT_CONVERSION platform/windows/text_conversion_windows.cc)
else()
  set(QUILLMAR_TEXT_CONVERSION platform/linux/text_conversion_linux.cc)
endif()
quillmar_layer(quillmar_text_conversion SOURCES ${QUILLMAR_TEXT_CONVERSION} DEPENDS quillmar_base)
# The service interfaces.
quillmar_layer(quillmar_platform SOURCES platform/*.cc DEPENDS quillmar_base quillmar_text_conversion)

# The real backend of this build: the one place that chooses it.
if(WIN32)
  # Windows' own API: Win32, CNG, WinHTTP, COM and the Windows Runtime.
  quillmar_layer(quillmar_platform_windows SOURCES platform/windows/*.cc
    EXCLUDE ${QUILLMAR_TEXT_CONVERSION} ${QUILLMAR_SECURE_WIPE}
    DEPENDS quillmar_platform ole32 oleaut32 user32 advapi32 bcrypt crypt32 winhttp Threads::Threads)
  # The Windows Runtime declarations, generated from our IDL with widl 8.
  include(${QUILLMAR_SOURCE_ROOT}/cmake/QuillmarRuntimeIdl.cmake)
  quillmar_use_runtime_headers(quillmar_platform_windows)
  set(QUILLMAR_BACKEND quillmar_platform_windows)
else()
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
  find_package(X11 REQUIRED)
  # The host's platform thread is the single-threaded apartment here, so the
  # backend uses the stand-in's thread calls (quillmar_host_threads.h).
  quillmar_layer(quillmar_platform_linux SOURCES platform/linux/*.cc
    EXCLUDE ${QUILLMAR_TEXT_CONVERSION} ${QUILLMAR_SECURE_WIPE}
    DEPENDS quillmar_platform ${QUILLMAR_EMBEDDING} OpenSSL::Crypto PkgConfig::LIBSECRET X11::X11
            Threads::Threads)
  set(QUILLMAR_BACKEND quillmar_platform_linux)
endif()
# The interfaces with the backend that supplies each service's default
# (DefaultService); tests override services at run time.
add_library(quillmar_platform_default INTERFACE)
target_link_libraries(quillmar_platform_default INTERFACE quillmar_platform ${QUILLMAR_BACKEND})

quillmar_layer(quillmar_common SOURCES common/*.cc
  DEPENDS quillmar_channel quillmar_platform_default)
quillmar_layer(quillmar_crypto SOURCES crypto/*.cc DEPENDS quillmar_common)
quillmar_layer(quillmar_storage SOURCES storage/*.cc DEPENDS quillmar_common)
quillmar_layer(quillmar_services SOURCES services/*.cc DEPENDS quillmar_common)
# Registration and dispatch: everything of the plug-in but its export.
file(GLOB PLUGIN_SOURCES CONFIGURE_DEPENDS ${QUILLMAR_SOURCE_ROOT}/plugin/*.cc)
list(REMOVE_ITEM PLUGIN_SOURCES ${QUILLMAR_SOURCE_ROOT}/plugin/export.cc)
add_library(quillmar_plugin STATIC ${PLUGIN_SOURCES})
target_link_libraries(quillmar_plugin PUBLIC
  quillmar_storage quillmar_crypto quillmar_services quillmar_common)
