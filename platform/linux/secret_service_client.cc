#include "platform/linux/secret_service_client.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/crypto_text.h"
#include "platform/platform_error.h"

namespace quillmar::platform::secret_service {
namespace {

constexpr HResult kNoLogonSession = HResultFromWin32(1312);  // ERROR_NO_SUCH_LOGON_SESSION
constexpr HResult kRpcUnavailable = HResultFromWin32(1722);  // RPC_S_SERVER_UNAVAILABLE

// D-Bus carries at most 128 MiB in one message, and the bus closes the
// connection of a sender that exceeds it. GLib keeps handing out its shared
// connection once closed, so the service could not be reached again in this
// process. Room is left for the rest of the message and the session's padding.
constexpr size_t kLargestSecret = (size_t{128} << 20) - (size_t{64} << 10);

PlatformError MakeError(HResult code, const std::string& text) {
  return PlatformError(code, PlatformString::FromUtf8(text));
}

// A failure that shows the connection to the service stale: the service
// restarted or left the bus (its old name and objects are gone), or the bus
// closed the connection.
class ConnectionLost : public PlatformError {
 public:
  explicit ConnectionLost(PlatformError error) : PlatformError(std::move(error)) {}
};

bool IsConnectionFailure(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED)) return true;
  if (error->domain == G_DBUS_ERROR) {
    switch (error->code) {
      case G_DBUS_ERROR_SERVICE_UNKNOWN:    // the service's old name, after a restart
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:  // no service on the bus
      case G_DBUS_ERROR_NO_SERVER:
      case G_DBUS_ERROR_DISCONNECTED:
      case G_DBUS_ERROR_UNKNOWN_OBJECT:  // objects of the service before it restarted
      case G_DBUS_ERROR_UNKNOWN_METHOD:
        return true;
      default:
        break;
    }
  }
  gchar* remote = g_dbus_error_get_remote_error(error);
  bool no_session =
      remote != nullptr && std::string_view(remote) == "org.freedesktop.Secret.Error.NoSession";
  g_free(remote);
  return no_session;
}

// Raises the failure reported in `error` (which it frees); ConnectionLost
// when it shows the connection gone.
[[noreturn]] void RaiseFailure(HResult code, const std::string& what, GError* error) {
  if (error == nullptr) throw MakeError(code, what + ": no reason given");
  g_dbus_error_strip_remote_error(error);
  bool lost = IsConnectionFailure(error);
  std::string text = what + ": " + error->message;
  g_error_free(error);
  if (lost) throw ConnectionLost(MakeError(kRpcUnavailable, text));
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
  // A library must not end its process when the bus goes away.
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  g_object_unref(bus);
  SecretService* service = secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr,
                                                    SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
  if (service == nullptr) {
    RaiseFailure(kRpcUnavailable, "The Secret Service is not available on the D-Bus session bus",
                 error);
  }
  return ServicePtr(service);
}

// The process's connection to the service, made on first use and dropped
// when it turns out lost, so that the next call reaches a restarted or
// replaced service.
class ServiceConnection {
 public:
  ServicePtr Get() {
    std::lock_guard lock(mutex_);
    if (service_ == nullptr) service_ = Connect();
    return ServicePtr(static_cast<SecretService*>(g_object_ref(service_.get())));
  }

  // Drops `stale` unless another thread has already replaced it.
  void Drop(SecretService* stale) {
    ServicePtr dropped;
    std::lock_guard lock(mutex_);
    if (service_.get() == stale) dropped = std::move(service_);
  }

 private:
  std::mutex mutex_;
  ServicePtr service_;
};

ServiceConnection& TheConnection() {
  // Never destroyed: releasing it at exit could run after GLib's own teardown.
  static ServiceConnection* connection = new ServiceConnection;
  return *connection;
}

// Runs `operation` on the process's connection; when that connection turns
// out lost, drops it and runs the operation once more on a new one, which
// reports its own failure. Every operation may be repeated: looking, storing
// in place and deleting give the same result twice.
template <class Operation>
auto WithService(Operation operation) -> decltype(operation(nullptr)) {
  for (int attempt = 1;; ++attempt) {
    ServicePtr service = TheConnection().Get();
    try {
      return operation(service.get());
    } catch (const ConnectionLost&) {
      TheConnection().Drop(service.get());
      if (attempt == 2) throw;
    }
  }
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

std::optional<Buffer> LookupOn(SecretService* service, const SecretSchema& schema,
                               const Attributes& attributes) {
  std::vector<ItemPtr> items = Search(service, schema, attributes);
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

void StoreOn(SecretService* service, const SecretSchema& schema, const Attributes& attributes,
             const std::string& label, const Buffer& secret, const char* content_type) {
  GError* error = nullptr;
  CollectionPtr collection(secret_collection_for_alias_sync(
      service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
  if (error != nullptr) {
    RaiseFailure(kEFail, "The Secret Service failed to find its default collection", error);
  }
  if (collection == nullptr) {
    throw MakeError(kEFail, "The Secret Service has no default collection to store items in.");
  }
  if (secret_collection_get_locked(collection.get())) RaiseLocked();
  if (secret.size() > kLargestSecret) {
    throw MakeError(kEInvalidArg,
                    "The value is too large for the Secret Service, which takes at most 128 MiB "
                    "in one message.");
  }
  const gchar* bytes = secret.empty() ? "" : reinterpret_cast<const gchar*>(secret.data());
  SecretValue* value = secret_value_new(bytes, static_cast<gssize>(secret.size()), content_type);
  AttributeTable table(attributes);
  SecretItem* item = secret_item_create_sync(collection.get(), &schema, table.get(), label.c_str(),
                                             value, SECRET_ITEM_CREATE_REPLACE, nullptr, &error);
  secret_value_unref(value);
  if (item == nullptr) RaiseFailure(kEFail, "The Secret Service failed to store an item", error);
  g_object_unref(item);
}

bool ClearOn(SecretService* service, const SecretSchema& schema, const Attributes& attributes) {
  std::vector<ItemPtr> items = Search(service, schema, attributes);
  for (const ItemPtr& item : items) {
    GError* error = nullptr;
    if (!secret_item_delete_sync(item.get(), nullptr, &error)) {
      RaiseFailure(kEFail, "The Secret Service failed to delete an item", error);
    }
  }
  return !items.empty();
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
  std::optional<Buffer> bytes = StrictUtf8(text);
  if (!bytes) throw PlatformError(kNoUnicodeTranslation);
  return std::move(*bytes);
}

PlatformString SecretText(const Buffer& bytes) {
  std::optional<PlatformString> text = StrictUtf16(bytes);
  if (!text) throw PlatformError(kNoUnicodeTranslation);
  return std::move(*text);
}

bool Contains(const SecretSchema& schema, const Attributes& attributes) {
  return WithService(
      [&](SecretService* service) { return !Search(service, schema, attributes).empty(); });
}

std::optional<Buffer> Lookup(const SecretSchema& schema, const Attributes& attributes) {
  return WithService([&](SecretService* service) { return LookupOn(service, schema, attributes); });
}

void Store(const SecretSchema& schema, const Attributes& attributes, const std::string& label,
           const Buffer& secret, const char* content_type) {
  WithService([&](SecretService* service) {
    StoreOn(service, schema, attributes, label, secret, content_type);
  });
}

bool Clear(const SecretSchema& schema, const Attributes& attributes) {
  return WithService([&](SecretService* service) { return ClearOn(service, schema, attributes); });
}

}  // namespace quillmar::platform::secret_service
