// Typed argument readers with defaults, and the reply map builder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "base/secret_memory.h"
#include "channel/encodable_value.h"

namespace quillmar {

// The string stored under `key` in `arguments` (a map), or `default_value`
// when the key is missing or `arguments` is absent or not a map. A value of
// another type (null included) raises BadVariantAccess.
std::string ReadStringArgument(const std::string& key, const EncodableValue* arguments,
                               const std::string& default_value = std::string());

// ReadStringArgument for a text that holds a secret (default empty): copied
// straight into wiped storage, with no plain copy on the way.
base::SecretString ReadSecretArgument(const std::string& key, const EncodableValue* arguments);

// The same for a 32-bit integer; there is no conversion between number types.
int32_t ReadIntArgument(const std::string& key, const EncodableValue* arguments,
                        int32_t default_value);

// A map with string keys; when a key occurs twice the first pair wins.
EncodableMap MakeReplyMap(std::initializer_list<std::pair<std::string, EncodableValue>> entries);

// Text for a reply entry that is null when empty. Taken by value so that a
// secret moves into the entry rather than leave a plain copy behind.
EncodableValue TextOrNull(std::string text);

}  // namespace quillmar
