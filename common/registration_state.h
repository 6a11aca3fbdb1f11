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

// The host's top-level window (an HWND on Windows), which platform dialogs
// take as their owner; null until registration finds one.
void SetHostWindow(void* window);
// Forgets `window` when it is the one kept (its registrar is gone).
void ClearHostWindow(void* window);
void* HostWindow();

// The message loop of the host's platform thread, captured at registration:
// work posted to it runs on that thread in the order posted, in whatever
// apartment the thread lives. Null until a registration captured one.
void SetHostThread(std::shared_ptr<platform::WorkQueue> thread);
// Forgets `thread` when it is the one kept (its registrar is gone).
void ClearHostThread(const platform::WorkQueue* thread);
std::shared_ptr<platform::WorkQueue> HostThread();

}  // namespace quillmar
