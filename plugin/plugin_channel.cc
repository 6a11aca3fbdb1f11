#include "plugin/plugin_channel.h"

#include <mutex>
#include <vector>

namespace quillmar {
namespace {

struct ChannelState {
  std::mutex mutex;
  const MethodChannel* current = nullptr;
  BinaryMessenger* messenger = nullptr;
  // Channels of earlier registrations stay alive, as callers may hold them.
  std::vector<std::unique_ptr<MethodChannel>> channels;
};

ChannelState& State() {
  static auto* state = new ChannelState();
  return *state;
}

}  // namespace

void SetPluginChannel(std::unique_ptr<MethodChannel> channel, BinaryMessenger* messenger) {
  ChannelState& state = State();
  std::lock_guard lock(state.mutex);
  state.current = channel.get();
  state.messenger = messenger;
  state.channels.push_back(std::move(channel));
}

void ClearPluginChannelOf(BinaryMessenger* messenger) {
  ChannelState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.messenger != messenger) return;
  state.current = nullptr;
  state.messenger = nullptr;
}

bool SendThroughPluginChannel(const std::string& method, EncodableValue arguments) {
  ChannelState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.current == nullptr) return false;
  state.current->InvokeMethod(method, std::make_unique<EncodableValue>(std::move(arguments)));
  return true;
}

const MethodChannel* CurrentPluginChannel() {
  ChannelState& state = State();
  std::lock_guard lock(state.mutex);
  return state.current;
}

}  // namespace quillmar
