// The messenger: raw messages on named channels, through the host's C API.
// Messages and handler changes happen on the host's platform thread; the
// reply callable may be called from any thread (it takes the host's lock).
#pragma once

#include <flutter_windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace quillmar {

// Sends reply bytes for one incoming message (null and 0 for an empty reply).
using BinaryReply = std::function<void(const uint8_t* reply, size_t reply_size)>;
// Handles one incoming message.
using BinaryMessageHandler =
    std::function<void(const uint8_t* message, size_t message_size, BinaryReply reply)>;

class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;
  // Sends `message`; with a reply callable, calls it once with the answer.
  virtual void SendOnChannel(const std::string& channel, const uint8_t* message,
                             size_t message_size, BinaryReply reply = nullptr) const = 0;
  // Installs (or, with an empty handler, removes) the channel's handler.
  virtual void SetChannelHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

class BinaryMessengerImpl : public BinaryMessenger {
 public:
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger) : messenger_(messenger) {}
  // Removes every installed callback from the host before the callables go.
  ~BinaryMessengerImpl() override;
  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void SendOnChannel(const std::string& channel, const uint8_t* message, size_t message_size,
                     BinaryReply reply = nullptr) const override;
  void SetChannelHandler(const std::string& channel, BinaryMessageHandler handler) override;

  FlutterDesktopMessengerRef messenger() const { return messenger_; }

 private:
  FlutterDesktopMessengerRef messenger_;  // not owned
  std::map<std::string, BinaryMessageHandler> handlers_;
};

// The host's message callback; `user_data` is the stored BinaryMessageHandler.
void DeliverMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                    void* user_data);

// The host's reply callback of an outgoing message; `user_data` is a heap
// BinaryReply, which it calls and frees.
void DeliverReply(const uint8_t* data, size_t data_size, void* user_data);

}  // namespace quillmar
