// PluginChannel: the channel of the latest registration, through which the
// library sends calls of its own. It is cleared when its registrar is
// destroyed, under the lock that senders hold while they send, so nothing
// is ever sent through a destroyed channel.
#pragma once

#include <memory>
#include <string>

#include "channel/encodable_value.h"
#include "channel/method_channel.h"

namespace quillmar {

// Makes `channel` the PluginChannel; it stays alive for the process.
void SetPluginChannel(std::unique_ptr<MethodChannel> channel, BinaryMessenger* messenger);

// Clears PluginChannel if it sends through `messenger`; waits for a send in
// progress to end.
void ClearPluginChannelOf(BinaryMessenger* messenger);

// Sends `method` with `arguments` through PluginChannel without a result.
// False, sending nothing, when there is no channel. Call it on the host's
// platform thread: the host takes channel messages only there.
bool SendThroughPluginChannel(const std::string& method, EncodableValue arguments);

// The current channel, for tests; null when cleared.
const MethodChannel* CurrentPluginChannel();

}  // namespace quillmar
