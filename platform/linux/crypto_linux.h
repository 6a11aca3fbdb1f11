// The parts of the Linux cryptography backend that need no OpenSSL (base/'s base64,
// strict UTF-8 and JSON reader). Stateless; any thread. Each raises
// PlatformError as the matching member of Cryptography documents.
#pragma once

#include "platform/crypto.h"

namespace quillmar::platform {

Buffer DecodeBase64(const PlatformString& text);
PlatformString EncodeBase64(const Buffer& bytes);

Buffer EncodeUtf8(const PlatformString& text);
PlatformString DecodeUtf8(const Buffer& bytes);

JsonObject ParseJson(const PlatformString& text);

}  // namespace quillmar::platform
