#include "platform/linux/secret_service_client.h"

#include <cstdlib>
#include <memory>
#include <string_view>

#include "base/utf.h"
#include "platform/platform_error.h"

namespace quillmar::platform::secret_service {
namespace {

constexpr HResult kNoLogonSession = HResultFromWin32(1312);  // ERROR_NO_SUCH_LOGON_SESSION
constexpr HResult kRpcUnavailable = HResultFromWin32(1722);  // RPC_S_SERVER_UNAVAILABLE

PlatformError MakeError(HResult code, const std::string& text) {
  return PlatformError(code, PlatformString::FromUtf8(text));
}

// Raises the failure reported in `error` (which it frees).
[[noreturn]] void RaiseFailure(HResult code, const std::string& what, GError* error) {
  std::string text = what + ": " + (error != nullptr ? error->message : "no reason given");
  if (error != nullptr) g_error_free(error);
  throw MakeError(code, text);
}

[[noreturn]] void RaiseLocked() {
  throw MakeError(kEAccessDenied,
                  "The Secret Service collection is locked; unlock the keyring to use its items.");
}

// GLib would otherwise try to autolaunch a bus of its own, which could never
// hold the user's items.
bool SessionBusConfigured() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  std::string socket = std::string(runtime) + "/bus";
  return g_file_test(socket.c_str(), G_FILE_TEST_EXISTS);
}

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using ServicePtr = std::unique_ptr<SecretService, ObjectUnref>;
using CollectionPtr = std::unique_ptr<SecretCollection, ObjectUnref>;
using ItemPtr = std::unique_ptr<SecretItem, ObjectUnref>;

ServicePtr Connect() {
  if (!SessionBusConfigured()) {
    throw MakeError(kNoLogonSession,
                    "No D-Bus session bus is reachable (DBUS_SESSION_BUS_ADDRESS is not set), "
                    "so the Secret Service cannot be used.");
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    RaiseFailure(kNoLogonSession,
                 "No D-Bus session bus is reachable, so the Secret Service cannot be used", error);
  }
  g_object_unref(bus);
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
  if (service == nullptr) {
    RaiseFailure(kRpcUnavailable, "The Secret Service is not available on the D-Bus session bus",
                 error);
  }
  return ServicePtr(service);
}

// A hash table of borrowed strings, for the duration of one call.
class AttributeTable {
 public:
  explicit AttributeTable(const Attributes& attributes)
      : table_(g_hash_table_new(g_str_hash, g_str_equal)) {
    for (const auto& [name, value] : attributes) {
      g_hash_table_insert(table_, const_cast<char*>(name.c_str()),
                          const_cast<char*>(value.c_str()));
    }
  }
  ~AttributeTable() { g_hash_table_unref(table_); }
  AttributeTable(const AttributeTable&) = delete;
  AttributeTable& operator=(const AttributeTable&) = delete;
  GHashTable* get() const { return table_; }

 private:
  GHashTable* table_;
};

// The matching items, locked ones included; raises when one of them is locked
// rather than unlocking it, which would need a prompt.
std::vector<ItemPtr> Search(SecretService* service, const SecretSchema& schema,
                            const Attributes& attributes) {
  AttributeTable table(attributes);
  GError* error = nullptr;
  GList* found =
      secret_service_search_sync(service, &schema, table.get(), SECRET_SEARCH_ALL, nullptr, &error);
  if (error != nullptr)
    RaiseFailure(kEFail, "The Secret Service failed to search its items", error);
  std::vector<ItemPtr> items;
  for (GList* entry = found; entry != nullptr; entry = entry->next) {
    items.emplace_back(static_cast<SecretItem*>(entry->data));
  }
  g_list_free(found);
  for (const ItemPtr& item : items) {
    if (secret_item_get_locked(item.get())) RaiseLocked();
  }
  return items;
}

}  // namespace

SecretSchema MakeSchema(const char* name, std::initializer_list<const char*> attribute_names) {
  SecretSchema schema{};
  schema.name = name;
  schema.flags = SECRET_SCHEMA_NONE;
  size_t index = 0;
  for (const char* attribute : attribute_names) {
    schema.attributes[index++] = {attribute, SECRET_SCHEMA_ATTRIBUTE_STRING};
  }
  return schema;
}

std::string AttributeText(const PlatformString& text) {
  // Attributes are C strings: a key cut at a zero would name another item.
  if (text.view().find(u'\0') != std::u16string_view::npos) throw PlatformError(kEInvalidArg);
  Buffer bytes = SecretBytes(text);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Strict both ways: a secret that has no exact UTF-8 (or UTF-16) form is
// refused, not stored or returned with replacements. Zeros are kept.
Buffer SecretBytes(const PlatformString& text) {
  Buffer bytes(base::MaxUtf8Bytes(text.size()));
  std::optional<size_t> size =
      base::Utf16ToUtf8(text.view(), reinterpret_cast<char*>(bytes.data()), base::Utf::kStrict);
  if (!size) throw PlatformError(kNoUnicodeTranslation);
  bytes.Resize(*size);
  return bytes;
}

PlatformString SecretText(const Buffer& bytes) {
  std::u16string wide(base::MaxUtf16Units(bytes.size()), u'\0');
  std::optional<size_t> size =
      base::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        wide.data(), base::Utf::kStrict);
  PlatformString text(std::u16string_view(wide.data(), size.value_or(0)));
  SecureWipe(wide.data(), wide.size() * sizeof(char16_t));
  if (!size) throw PlatformError(kNoUnicodeTranslation);
  return text;
}

bool Contains(const SecretSchema& schema, const Attributes& attributes) {
  ServicePtr service = Connect();
  return !Search(service.get(), schema, attributes).empty();
}

std::optional<Buffer> Lookup(const SecretSchema& schema, const Attributes& attributes) {
  ServicePtr service = Connect();
  std::vector<ItemPtr> items = Search(service.get(), schema, attributes);
  if (items.empty()) return std::nullopt;
  SecretItem* item = items.front().get();
  GError* error = nullptr;
  if (!secret_item_load_secret_sync(item, nullptr, &error)) {
    RaiseFailure(kEFail, "The Secret Service failed to read an item's secret", error);
  }
  SecretValue* value = secret_item_get_secret(item);
  if (value == nullptr) throw MakeError(kEFail, "The Secret Service gave no secret for an item.");
  gsize length = 0;
  const gchar* bytes = secret_value_get(value, &length);
  Buffer secret(reinterpret_cast<const uint8_t*>(bytes), length);
  secret_value_unref(value);
  return secret;
}

void Store(const SecretSchema& schema, const Attributes& attributes, const std::string& label,
           const Buffer& secret, const char* content_type) {
  ServicePtr service = Connect();
  GError* error = nullptr;
  CollectionPtr collection(secret_collection_for_alias_sync(
      service.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
  if (error != nullptr) {
    RaiseFailure(kEFail, "The Secret Service failed to find its default collection", error);
  }
  if (collection == nullptr) {
    throw MakeError(kEFail, "The Secret Service has no default collection to store items in.");
  }
  if (secret_collection_get_locked(collection.get())) RaiseLocked();
  const gchar* bytes = secret.empty() ? "" : reinterpret_cast<const gchar*>(secret.data());
  SecretValue* value = secret_value_new(bytes, static_cast<gssize>(secret.size()), content_type);
  AttributeTable table(attributes);
  SecretItem* item = secret_item_create_sync(collection.get(), &schema, table.get(), label.c_str(),
                                             value, SECRET_ITEM_CREATE_REPLACE, nullptr, &error);
  secret_value_unref(value);
  if (item == nullptr) RaiseFailure(kEFail, "The Secret Service failed to store an item", error);
  g_object_unref(item);
}

bool Clear(const SecretSchema& schema, const Attributes& attributes) {
  ServicePtr service = Connect();
  std::vector<ItemPtr> items = Search(service.get(), schema, attributes);
  for (const ItemPtr& item : items) {
    GError* error = nullptr;
    if (!secret_item_delete_sync(item.get(), nullptr, &error)) {
      RaiseFailure(kEFail, "The Secret Service failed to delete an item", error);
    }
  }
  return !items.empty();
}

}  // namespace quillmar::platform::secret_service
