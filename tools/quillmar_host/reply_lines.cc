#include "tools/quillmar_host/reply_lines.h"

#include "tools/quillmar_host/hex.h"
#include "tools/quillmar_host/json.h"

namespace quillmar::cli {

using host::MethodReply;

std::string ReplyLine(const MethodReply& reply, const EncodableValue* id) {
  std::string line = "{";
  if (id != nullptr) line += "\"id\": " + WriteJson(*id) + ", ";
  switch (reply.kind) {
    case MethodReply::Kind::kSuccess:
      line += "\"success\": " + WriteJson(reply.value);
      break;
    case MethodReply::Kind::kError:
      line += "\"error\": {\"code\": " + WriteJson(EncodableValue(reply.error_code)) +
              ", \"message\": " +
              (reply.error_message ? WriteJson(EncodableValue(*reply.error_message)) : "null") +
              ", \"details\": " + WriteJson(reply.error_details) + "}";
      break;
    case MethodReply::Kind::kNotImplemented:
      line += "\"notImplemented\": true";
      break;
    case MethodReply::Kind::kUndecodable:
      line += "\"undecodableReply\": \"" + ToHex(reply.bytes) + "\"";
      break;
    case MethodReply::Kind::kNoReply:
      line += "\"noReply\": true";
      break;
  }
  return line + "}";
}

std::string EventLine(const host::OutgoingMessage& message) {
  host::OutgoingCall call = host::DecodeOutgoing(message);
  std::string line = call.decoded ? "{\"event\": " + WriteJson(EncodableValue(call.method)) +
                                        ", \"arguments\": " + WriteJson(call.arguments)
                                  : "{\"undecodableEvent\": \"" + ToHex(message.bytes) + "\"";
  if (call.channel != host::kPluginChannel) {
    line += ", \"channel\": " + WriteJson(EncodableValue(call.channel));
  }
  return line + "}";
}

}  // namespace quillmar::cli
