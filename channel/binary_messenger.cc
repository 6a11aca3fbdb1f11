#include "channel/binary_messenger.h"

#include <memory>

#include "channel/diagnostics.h"

namespace quillmar {
namespace {

// One incoming message's way back: the messenger reference taken on
// delivery and the response handle, used at most once.
struct PendingReply {
  std::shared_ptr<FlutterDesktopMessenger> messenger;
  const FlutterDesktopMessageResponseHandle* response_handle;
};

void SendReply(PendingReply* pending, const uint8_t* reply, size_t reply_size) {
  FlutterDesktopMessengerRef messenger = pending->messenger.get();
  FlutterDesktopMessengerLock(messenger);
  struct Unlock {
    FlutterDesktopMessengerRef messenger;
    ~Unlock() { FlutterDesktopMessengerUnlock(messenger); }
  } unlock{messenger};
  if (!FlutterDesktopMessengerIsAvailable(messenger)) return;
  if (pending->response_handle == nullptr) {
    ReportDiagnostic("Error: Response can be set only once. Ignoring duplicate response.");
    return;
  }
  FlutterDesktopMessengerSendResponse(messenger, pending->response_handle, reply, reply_size);
  pending->response_handle = nullptr;
}

// Answers the message with an empty reply unless it has been answered.
void SendEmptyReplyIfUnanswered(FlutterDesktopMessengerRef messenger,
                                const FlutterDesktopMessageResponseHandle** response_handle) {
  FlutterDesktopMessengerLock(messenger);
  if (FlutterDesktopMessengerIsAvailable(messenger) && *response_handle != nullptr) {
    FlutterDesktopMessengerSendResponse(messenger, *response_handle, nullptr, 0);
    *response_handle = nullptr;
  }
  FlutterDesktopMessengerUnlock(messenger);
}

}  // namespace

BinaryMessengerImpl::~BinaryMessengerImpl() {
  for (const auto& entry : handlers_) {
    FlutterDesktopMessengerSetCallback(messenger_, entry.first.c_str(), nullptr, nullptr);
  }
}

void BinaryMessengerImpl::SendOnChannel(const std::string& channel, const uint8_t* message,
                                        size_t message_size, BinaryReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto* heap_reply = new BinaryReply(std::move(reply));
  if (!FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                            DeliverReply, heap_reply)) {
    delete heap_reply;
  }
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    return;
  }
  BinaryMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), DeliverMessage, &stored);
}

void DeliverMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                    void* user_data) {
  // Nothing may be thrown back into the host's C code, and the message is
  // answered whatever fails.
  std::shared_ptr<PendingReply> pending;
  try {
    std::shared_ptr<FlutterDesktopMessenger> held(FlutterDesktopMessengerAddRef(messenger),
                                                  FlutterDesktopMessengerRelease);
    pending = std::make_shared<PendingReply>(PendingReply{held, message->response_handle});
    BinaryReply reply = [pending](const uint8_t* bytes, size_t size) {
      SendReply(pending.get(), bytes, size);
    };
    const auto& handler = *static_cast<BinaryMessageHandler*>(user_data);
    handler(message->message, message->message_size, std::move(reply));
  } catch (...) {
    ReportDiagnostic("Unable to handle a message on channel ",
                     message->channel != nullptr ? message->channel : "");
    if (pending) {
      SendEmptyReplyIfUnanswered(messenger, &pending->response_handle);
    } else {
      const FlutterDesktopMessageResponseHandle* response_handle = message->response_handle;
      SendEmptyReplyIfUnanswered(messenger, &response_handle);
    }
  }
}

void DeliverReply(const uint8_t* data, size_t data_size, void* user_data) {
  std::unique_ptr<BinaryReply> reply(static_cast<BinaryReply*>(user_data));
  (*reply)(data, data_size);
}

}  // namespace quillmar
