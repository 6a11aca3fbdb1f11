// The JSON arguments and reply lines of the item methods as the
// command-line host reads and prints them, for tests that run it as a
// separate process.
#pragma once

#include <string>

namespace quillmar::testing {

inline std::string KeyArgs(const std::string& key) { return "{\"itemKey\": \"" + key + "\"}"; }
inline std::string ItemArgs(const std::string& key, const std::string& value) {
  return "{\"itemKey\": \"" + key + "\", \"itemValue\": \"" + value + "\"}";
}
inline std::string Found(const std::string& value) {
  return "{\"success\": {\"error\": null, \"itemValue\": \"" + value + "\", \"success\": true}}";
}

inline constexpr char kMissing[] =
    R"({"success": {"error": null, "itemValue": null, "success": true}})";
inline constexpr char kStored[] = R"({"success": {"error": null, "status": "ok"}})";
inline constexpr char kDeleted[] = R"({"success": {"error": null, "success": true}})";

}  // namespace quillmar::testing
