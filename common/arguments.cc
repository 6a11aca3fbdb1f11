#include "common/arguments.h"

namespace quillmar {
namespace {

const EncodableValue* FindArgument(const std::string& key, const EncodableValue* arguments) {
  if (arguments == nullptr) return nullptr;
  const auto* map = arguments->GetIf<EncodableMap>();
  if (map == nullptr) return nullptr;
  auto entry = map->find(EncodableValue(key));
  return entry == map->end() ? nullptr : &entry->second;
}

}  // namespace

std::string ReadStringArgument(const std::string& key, const EncodableValue* arguments,
                               const std::string& default_value) {
  const EncodableValue* value = FindArgument(key, arguments);
  if (value == nullptr) return default_value;
  return GetAlternative<std::string>(*value);
}

base::SecretString ReadSecretArgument(const std::string& key, const EncodableValue* arguments) {
  const EncodableValue* value = FindArgument(key, arguments);
  if (value == nullptr) return base::SecretString();
  return base::SecretString(GetAlternative<std::string>(*value));
}

int32_t ReadIntArgument(const std::string& key, const EncodableValue* arguments,
                        int32_t default_value) {
  const EncodableValue* value = FindArgument(key, arguments);
  if (value == nullptr) return default_value;
  return GetAlternative<int32_t>(*value);
}

EncodableMap MakeReplyMap(std::initializer_list<std::pair<std::string, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) map.emplace(EncodableValue(key), value);
  return map;
}

EncodableValue TextOrNull(std::string text) {
  return text.empty() ? EncodableValue() : EncodableValue(std::move(text));
}

}  // namespace quillmar
