// The JSON lines the command-line host prints for replies and events, in
// wiped memory: replies carry secrets.
#pragma once

#include "base/secret_memory.h"
#include "channel/encodable_value.h"
#include "host/driver/test_driver.h"

namespace quillmar::cli {

// {"success": V}, {"error": {"code": C, "message": M, "details": D}},
// {"notImplemented": true}, {"undecodableReply": HEX} or {"noReply": true};
// with `id`, {"id": ID, ...} first.
base::SecretString ReplyLine(const host::MethodReply& reply, const EncodableValue* id = nullptr);

// {"event": METHOD, "arguments": V}, with "channel" added for a channel other
// than the plug-in's; {"undecodableEvent": HEX, ...} when it holds no call.
base::SecretString EventLine(const host::OutgoingMessage& message);

}  // namespace quillmar::cli
