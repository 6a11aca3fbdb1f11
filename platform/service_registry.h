// The current set of platform services: one slot per service interface.
// The build's backend supplies the default of each service; tests install
// fakes for a scope with ScopedOverride. Nothing else switches backends.
#pragma once

#include <atomic>

namespace quillmar::platform {

// Defined once per service by the backend the library is built with.
template <class Service>
Service& DefaultService();

template <class Service>
struct ServiceSlot {
  static inline std::atomic<Service*> override_service{nullptr};
};

// The service in force. May be called from any thread.
template <class Service>
Service& Current() {
  Service* service = ServiceSlot<Service>::override_service.load(std::memory_order_acquire);
  return service != nullptr ? *service : DefaultService<Service>();
}

// Makes `service` current until the scope ends. Scopes nest; the caller
// keeps `service` alive and ends scopes in reverse order.
template <class Service>
class ScopedOverride {
 public:
  explicit ScopedOverride(Service* service)
      : previous_(ServiceSlot<Service>::override_service.exchange(service)) {}
  ~ScopedOverride() { ServiceSlot<Service>::override_service.store(previous_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  Service* previous_;
};

}  // namespace quillmar::platform
