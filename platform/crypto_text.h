// The parts of the cryptography backends that need no OS library (base/'s
// base64, strict UTF-8 and JSON reader), shared by the Linux and Windows
// backends so that both refuse the same texts with the same errors.
// Stateless; any thread. Each raises PlatformError as the matching member of
// Cryptography documents.
#pragma once

#include "platform/crypto.h"

namespace quillmar::platform {

Buffer DecodeBase64(const PlatformString& text);
PlatformString EncodeBase64(const Buffer& bytes);

Buffer EncodeUtf8(const PlatformString& text);
PlatformString DecodeUtf8(const Buffer& bytes);

JsonObject ParseJson(const PlatformString& text);

}  // namespace quillmar::platform
