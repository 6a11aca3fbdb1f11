// Base64, strict UTF-8 and the JSON reader for the cryptography backends
// (the strict UTF-8 also for the Secret Service backend's secrets),
// over base/'s one copy of each. Unlike the channel's lenient conversions,
// these refuse what is malformed: a ciphertext that decrypts to broken text
// is an error, not a string of replacements.
#include "platform/crypto_text.h"

#include <string>

#include "base/base64.h"
#include "base/json.h"
#include "base/utf.h"

namespace quillmar::platform {

Buffer DecodeBase64(const PlatformString& text) {
  Buffer bytes(base::MaxBase64Bytes(text.size()));
  std::optional<size_t> size = base::DecodeBase64(text.view(), bytes.data());
  if (!size) {
    throw PlatformError(
        kBadData,
        PlatformString(u"The text is not base64 (standard alphabet with \"=\" padding)."));
  }
  bytes.Resize(*size);
  return bytes;
}

PlatformString EncodeBase64(const Buffer& bytes) {
  // Derived bits and keys pass through here.
  base::SecretU16String text(base::Base64Length(bytes.size()), u'\0');
  base::EncodeBase64(bytes.data(), bytes.size(), text.data());
  return PlatformString(std::move(text));
}

std::optional<Buffer> StrictUtf8(const PlatformString& text) {
  Buffer bytes(base::MaxUtf8Bytes(text.size()));
  std::optional<size_t> size =
      base::Utf16ToUtf8(text.view(), reinterpret_cast<char*>(bytes.data()), base::Utf::kStrict);
  if (!size) return std::nullopt;
  bytes.Resize(*size);
  return bytes;
}

std::optional<PlatformString> StrictUtf16(const Buffer& bytes) {
  base::SecretU16String units(base::MaxUtf16Units(bytes.size()), u'\0');
  std::optional<size_t> size =
      base::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        units.data(), base::Utf::kStrict);
  if (!size) return std::nullopt;
  units.resize(*size);
  return PlatformString(std::move(units));
}

Buffer EncodeUtf8(const PlatformString& text) {
  std::optional<Buffer> bytes = StrictUtf8(text);
  if (!bytes) {
    throw PlatformError(kNoUnicodeTranslation,
                        PlatformString(u"The text holds an unpaired surrogate."));
  }
  return std::move(*bytes);
}

PlatformString DecodeUtf8(const Buffer& bytes) {
  std::optional<PlatformString> text = StrictUtf16(bytes);
  if (!text) {
    throw PlatformError(kNoUnicodeTranslation,
                        PlatformString(u"The bytes are not well-formed UTF-8 text."));
  }
  return std::move(*text);
}

JsonObject ParseJson(const PlatformString& text) {
  std::optional<std::vector<base::JsonMember>> members = base::ReadJsonObject(text.view());
  if (!members)
    throw PlatformError(kInvalidJson, PlatformString(u"The text is not a JSON object."));
  JsonObject object;
  for (base::JsonMember& member : *members) {
    std::optional<PlatformString> value;
    if (member.text) value.emplace(*member.text);
    object.SetMember(std::move(member.name), std::move(value));
  }
  return object;
}

}  // namespace quillmar::platform
