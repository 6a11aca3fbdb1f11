// What registration leaves for the handlers: the resource name of the
// stored items, a way to send calls of the library's own, and the host's
// window. plugin/ fills the last two when it registers, so handlers get
// them without knowing how registration works.
#pragma once

#include <string>

#include "channel/encodable_value.h"
#include "platform/platform_string.h"

namespace quillmar {

// kResourceName: the resource name of the vault entries and the prefix of
// the legacy credentials' target names.
extern const platform::PlatformString kResourceName;

// Sends `method` with `arguments`, wanting no reply, on the channel of the
// latest registration; false, sending nothing, when there is none. Call it
// on the host's platform thread: the host takes channel messages only there.
using OwnCallSender = bool (*)(const std::string& method, EncodableValue arguments);
void SetOwnCallSender(OwnCallSender sender);
bool SendOwnCall(const std::string& method, EncodableValue arguments);

// The host's top-level window (an HWND on Windows), which platform dialogs
// take as their owner; null until registration finds one.
void SetHostWindow(void* window);
// Forgets `window` when it is the one kept (its registrar is gone).
void ClearHostWindow(void* window);
void* HostWindow();

}  // namespace quillmar
