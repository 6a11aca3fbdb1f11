// Items of the Secret Service (org.freedesktop.secrets) over the D-Bus
// session bus, for the store backends. Every function may be called from any
// thread and blocks on D-Bus. Failures raise a PlatformError whose message
// names the cause: no session bus (0x80070520), a locked collection
// (kEAccessDenied), anything else the service refuses (kEFail).
#pragma once

#include <libsecret/secret.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/buffer.h"
#include "platform/platform_string.h"

namespace quillmar::platform::secret_service {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// A schema of string attributes (at most 32), matched by its name too.
SecretSchema MakeSchema(const char* name, std::initializer_list<const char*> attribute_names);

// The UTF-8 form of an attribute or label text; raises kEInvalidArg for a
// text holding a zero character.
std::string AttributeText(const PlatformString& text);

// A secret text as UTF-8 bytes, and back; raise kNoUnicodeTranslation for
// text that has no such form.
Buffer SecretBytes(const PlatformString& text);
PlatformString SecretText(const Buffer& bytes);

// True when an item of `schema` matches `attributes`.
bool Contains(const SecretSchema& schema, const Attributes& attributes);

// The secret of the first item of `schema` matching `attributes`, or nothing.
std::optional<Buffer> Lookup(const SecretSchema& schema, const Attributes& attributes);

// Stores `secret` in the default collection, replacing the item of `schema`
// with the same attributes.
void Store(const SecretSchema& schema, const Attributes& attributes, const std::string& label,
           const Buffer& secret, const char* content_type);

// Deletes every item of `schema` matching `attributes`; false when there was none.
bool Clear(const SecretSchema& schema, const Attributes& attributes);

}  // namespace quillmar::platform::secret_service
