#include "common/registration_state.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

namespace quillmar {
namespace {

std::atomic<OwnCallSender> own_call_sender{nullptr};

struct Registration {
  const void* registrar;
  void* window;
  std::shared_ptr<platform::WorkQueue> thread;
};

// In the order registered; few entries, one per live engine.
struct Registrations {
  std::mutex mutex;
  std::vector<Registration> entries;
};

Registrations& GetRegistrations() {
  static auto* registrations = new Registrations();
  return *registrations;
}

// `field` of the latest live registration that has one.
template <class Field>
Field Latest(Field Registration::*field) {
  Registrations& registrations = GetRegistrations();
  std::lock_guard lock(registrations.mutex);
  auto& entries = registrations.entries;
  auto found = std::find_if(entries.rbegin(), entries.rend(),
                            [field](const Registration& entry) { return entry.*field != nullptr; });
  if (found == entries.rend()) return nullptr;
  return (*found).*field;
}

}  // namespace

const platform::PlatformString kResourceName(u"Quillmar");

void SetOwnCallSender(OwnCallSender sender) { own_call_sender.store(sender); }

bool SendOwnCall(const std::string& method, EncodableValue arguments) {
  OwnCallSender sender = own_call_sender.load();
  return sender != nullptr && sender(method, std::move(arguments));
}

void AddRegistration(const void* registrar, void* window,
                     std::shared_ptr<platform::WorkQueue> thread) {
  Registration added{registrar, window, std::move(thread)};
  Registrations& registrations = GetRegistrations();
  std::lock_guard lock(registrations.mutex);
  auto& entries = registrations.entries;
  auto same = std::find_if(entries.begin(), entries.end(), [registrar](const Registration& entry) {
    return entry.registrar == registrar;
  });
  // The replaced entry's context is released after the lock, with `added`.
  if (same != entries.end()) {
    std::swap(*same, added);
  } else {
    entries.push_back(std::move(added));
  }
}

void RemoveRegistration(const void* registrar) {
  std::vector<Registration> removed;
  Registrations& registrations = GetRegistrations();
  std::lock_guard lock(registrations.mutex);
  auto& entries = registrations.entries;
  auto kept = std::stable_partition(
      entries.begin(), entries.end(),
      [registrar](const Registration& entry) { return entry.registrar != registrar; });
  std::move(kept, entries.end(), std::back_inserter(removed));
  entries.erase(kept, entries.end());
}

void* HostWindow() { return Latest(&Registration::window); }

std::shared_ptr<platform::WorkQueue> HostThread() { return Latest(&Registration::thread); }

}  // namespace quillmar
