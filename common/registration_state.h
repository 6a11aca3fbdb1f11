// What registration leaves for the handlers: the resource name of the
// stored items, a way to send calls of the library's own, the host's window
// and its platform thread. plugin/ fills the last three when it registers,
// so handlers get them without knowing how registration works.
#pragma once

#include <memory>
#include <string>

#include "channel/encodable_value.h"
#include "platform/apartment.h"
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

// What one registration found: the host's top-level window (an HWND on
// Windows, null without one), which platform dialogs take as their owner,
// and the message loop of the host's platform thread (null where none was
// captured): work posted to it runs on that thread in the order posted, in
// whatever apartment the thread lives. Each is kept with its registrar,
// named by the registrar's handle, until the registrar goes; registering
// the same registrar again replaces what it had.
void AddRegistration(const void* registrar, void* window,
                     std::shared_ptr<platform::WorkQueue> thread);
void RemoveRegistration(const void* registrar);

// The window, and the message loop, of the latest registration still alive
// that has one; null when none has.
void* HostWindow();
std::shared_ptr<platform::WorkQueue> HostThread();

}  // namespace quillmar
