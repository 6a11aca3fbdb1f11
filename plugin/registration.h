// Registration with the host and the registrar table.
#pragma once

#include <flutter_windows.h>

#include <cstddef>

#include "base/protocol.h"

namespace quillmar {

// Registers the plug-in with `registrar` (the export's work).
void RegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

// The host's destruction handler: destroys the wrapper of `registrar`, with
// its plug-ins, after clearing PluginChannel if it belongs to it.
void ForgetRegistrar(FlutterDesktopPluginRegistrarRef registrar);

// Wrappers in the registrar table, and plug-ins owned by the wrapper of
// `registrar` (0 when it has none); for tests.
size_t RegistrarCount();
size_t PluginCountOf(FlutterDesktopPluginRegistrarRef registrar);

}  // namespace quillmar
