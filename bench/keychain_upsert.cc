// Time per "upsertKeychainItem" that replaces a stored item, in a keyring
// that holds many items (default 2000, or the first argument), against the
// store's own in-place replace (the vault's Add alone), the look-up, remove
// and add that an upsert once made, and a read of the same item. Needs a
// Secret Service: run it under scripts/env/keyring-session.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/registration_state.h"
#include "common/text.h"
#include "host/driver/test_driver.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "plugin/registration.h"

namespace {

using Clock = std::chrono::steady_clock;
using quillmar::EncodableMap;
using quillmar::EncodableValue;

using Operation = std::function<void(int)>;

// The median time in milliseconds of each operation over `count` rounds.
// Each round runs every operation once, in turn, so that all of them meet
// the store in the same state and under the same load.
std::vector<double> MedianMilliseconds(int count, const std::vector<Operation>& operations) {
  std::vector<std::vector<double>> times(operations.size());
  for (int i = 0; i < count; ++i) {
    for (size_t op = 0; op < operations.size(); ++op) {
      auto start = Clock::now();
      operations[op](i);
      times[op].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  }
  std::vector<double> medians;
  for (std::vector<double>& samples : times) {
    std::sort(samples.begin(), samples.end());
    medians.push_back(samples[samples.size() / 2]);
  }
  return medians;
}

EncodableValue ItemArguments(const std::string& key, const std::string& value) {
  return EncodableValue(EncodableMap{{EncodableValue("itemKey"), EncodableValue(key)},
                                     {EncodableValue("itemValue"), EncodableValue(value)}});
}

bool Stored(const quillmar::host::MethodReply& reply) {
  const EncodableMap* map = reply.value.GetIf<EncodableMap>();
  if (map == nullptr) return false;
  auto status = map->find(EncodableValue("status"));
  return status != map->end() && status->second == EncodableValue("ok");
}

}  // namespace

int main(int argc, char** argv) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (bus == nullptr || *bus == '\0') {
    std::printf("skipped: no D-Bus session bus (run it under scripts/env/keyring-session)\n");
    return 0;
  }
  const int items = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int rounds = 30;
  const std::string prefix = "bench-" + std::to_string(getpid()) + "-";
  auto& vault = quillmar::platform::DefaultService<quillmar::platform::PasswordVault>();
  auto add = [&](const std::string& key, const std::string& value) {
    vault.Add({quillmar::kResourceName, quillmar::Utf8ToWide(key), quillmar::Utf8ToWide(value)});
  };

  double fill_last = 0;
  for (int i = 0; i < items; i += 100) {
    int batch = std::min(100, items - i);
    fill_last = MedianMilliseconds(
        batch,
        {[&](int j) { add(prefix + std::to_string(i + j), "filler " + std::to_string(j)); }})[0];
  }

  quillmar::host::TestDriver driver;
  driver.RegisterPlugin(quillmar::RegisterWithRegistrar);
  const std::string key = prefix + "replaced";
  if (!Stored(driver.CallMethod("upsertKeychainItem", ItemArguments(key, "first")))) {
    std::printf("the first upsert failed\n");
    return 1;
  }
  bool all_stored = true;
  EncodableValue read_arguments(EncodableMap{{EncodableValue("itemKey"), EncodableValue(key)}});
  std::vector<double> medians = MedianMilliseconds(
      rounds, {[&](int i) {
                 all_stored &= Stored(driver.CallMethod(
                     "upsertKeychainItem", ItemArguments(key, "value " + std::to_string(i))));
               },
               [&](int i) { add(key, "direct " + std::to_string(i)); },
               [&](int i) {
                 quillmar::platform::PasswordCredential existing =
                     vault.Retrieve(quillmar::kResourceName, quillmar::Utf8ToWide(key));
                 vault.RetrievePassword(&existing);
                 vault.Remove(existing);
                 add(key, "two steps " + std::to_string(i));
               },
               [&](int) { driver.CallMethod("getKeychainItem", read_arguments); }});
  double upsert = medians[0], in_place = medians[1], remove_then_add = medians[2],
         read = medians[3];

  std::printf("keyring of %d items (new-item add at the end of the fill: %.1f ms)\n", items,
              fill_last);
  std::printf("replacing upsertKeychainItem %8.1f ms/call%s\n", upsert,
              all_stored ? "" : " (some failed)");
  std::printf("vault Add in place           %8.1f ms/call (upsert takes %.2fx)\n", in_place,
              upsert / in_place);
  std::printf("look up, remove, then add    %8.1f ms/call (upsert takes %.2fx)\n", remove_then_add,
              upsert / remove_then_add);
  std::printf("getKeychainItem              %8.1f ms/call (upsert takes %.2fx)\n", read,
              upsert / read);
  return all_stored ? 0 : 1;
}
