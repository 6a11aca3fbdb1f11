#include "tools/quillmar_host/reply_lines.h"

#include "tools/quillmar_host/hex.h"
#include "tools/quillmar_host/json.h"

namespace quillmar::cli {

using host::MethodReply;

base::SecretString ReplyLine(const MethodReply& reply, const EncodableValue* id) {
  base::SecretString line("{");
  if (id != nullptr) line.append("\"id\": ").append(WriteJson(*id)).append(", ");
  switch (reply.kind) {
    case MethodReply::Kind::kSuccess:
      line.append("\"success\": ").append(WriteJson(reply.value));
      break;
    case MethodReply::Kind::kError:
      line.append("\"error\": {\"code\": ")
          .append(WriteJson(EncodableValue(reply.error_code)))
          .append(", \"message\": ")
          .append(reply.error_message ? WriteJson(EncodableValue(*reply.error_message))
                                      : base::SecretString("null"))
          .append(", \"details\": ")
          .append(WriteJson(reply.error_details))
          .append("}");
      break;
    case MethodReply::Kind::kNotImplemented:
      line.append("\"notImplemented\": true");
      break;
    case MethodReply::Kind::kUndecodable:
      line.append("\"undecodableReply\": \"").append(ToHex(reply.bytes)).append("\"");
      break;
    case MethodReply::Kind::kNoReply:
      line.append("\"noReply\": true");
      break;
  }
  return line.append("}");
}

base::SecretString EventLine(const host::OutgoingMessage& message) {
  host::OutgoingCall call = host::DecodeOutgoing(message);
  base::SecretString line;
  if (call.decoded) {
    line.append("{\"event\": ")
        .append(WriteJson(EncodableValue(call.method)))
        .append(", \"arguments\": ")
        .append(WriteJson(call.arguments));
  } else {
    line.append("{\"undecodableEvent\": \"").append(ToHex(message.bytes)).append("\"");
  }
  if (call.channel != host::kPluginChannel) {
    line.append(", \"channel\": ").append(WriteJson(EncodableValue(call.channel)));
  }
  return line.append("}");
}

}  // namespace quillmar::cli
