// The parts of the cryptography backends that need no OS library (base/'s
// base64, strict UTF-8 and JSON reader), shared by the Linux and Windows
// backends so that both refuse the same texts with the same errors.
// Stateless; any thread. Each raises PlatformError as the matching member of
// Cryptography documents.
#pragma once

#include <optional>

#include "platform/crypto.h"

namespace quillmar::platform {

Buffer DecodeBase64(const PlatformString& text);
PlatformString EncodeBase64(const Buffer& bytes);

// The exact UTF-8 form of a text and back, or nothing where there is none
// (an unpaired surrogate, malformed UTF-8); zeros are kept. Also what the
// Secret Service backend stores secrets as.
std::optional<Buffer> StrictUtf8(const PlatformString& text);
std::optional<PlatformString> StrictUtf16(const Buffer& bytes);

Buffer EncodeUtf8(const PlatformString& text);
PlatformString DecodeUtf8(const Buffer& bytes);

JsonObject ParseJson(const PlatformString& text);

}  // namespace quillmar::platform
