// What the tests of the library over the stand-in runtime share: the
// stand-in switched on for one test, a host stand-in that loads the plug-in
// as the embedding does, and the checks every test ends with.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel/encodable_value.h"
#include "host/driver/test_driver.h"
#include "platform/fake/fake_system_version.h"
#include "platform/legacy_credentials.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "plugin/registration.h"
#include "tests/runtime_standin_windows/standin/control.h"

namespace quillmar::standin_test {

using host::MethodReply;

// Wine's credential manager, where an older system left an item, and the
// target name it holds `key` under.
platform::CredentialManager& Legacy();
platform::PlatformString TargetOf(const std::string& key);
// Stores `value` as the item's legacy copy (a failed write fails the test).
void PutLegacy(const std::string& key, const std::string& value);
// The status a read of the item's legacy copy answers.
uint32_t LegacyStatus(const std::string& key);

// The stand-in's objects alive in this process once its thread has dropped
// the last references of the operations that completed (it waits up to
// `patience` for 0).
long SettledLiveObjects(std::chrono::milliseconds patience = std::chrono::seconds(3));

// Sets an environment variable of this process, which later children
// inherit, for a scope (nullptr: removes it).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// The value of the record line's `window=` field, or nothing.
std::optional<uintptr_t> WindowOf(const std::string& record_line);

// The system's text for `code`, as the library answers a platform failure.
std::string TextOf(platform::HResult code);

// The reply as text, every value with its type, for failure messages.
std::string Describe(const MethodReply& reply);

// Expects `actual` to be `expected`, whole, and shows both when not.
void ExpectReply(const MethodReply& actual, const MethodReply& expected);

// A reply map with string keys.
EncodableValue ReplyMap(std::initializer_list<std::pair<std::string, EncodableValue>> entries);

// Waits up to `patience` for the record to hold `count` lines; the record.
std::vector<std::string> RecordOnceItHolds(
    size_t count, std::chrono::milliseconds patience = std::chrono::seconds(5));

// How the host's platform thread is set up.
enum class Apartment { kMultithreaded, kSingleThreaded };

// One test over the stand-in: switched on with an empty script and vault
// before, and after it none of its objects left alive in this process.
// The version check reports Windows 10, so the runtime classes are used.
template <typename Base = ::testing::Test>
class OverStandIn : public Base {
 protected:
  explicit OverStandIn(Apartment apartment = Apartment::kMultithreaded)
      : apartment_(L"QUILLMAR_HOST_APARTMENT",
                   apartment == Apartment::kMultithreaded ? L"multithreaded" : nullptr) {}

  void SetUp() override {
    standin::Register(standin::DllBesideProgram());
    standin::Reset();
  }

  void TearDown() override {
    driver_.reset();
    EXPECT_EQ(SettledLiveObjects(), 0) << "stand-in objects still referenced after the test";
    standin::SwitchOff();
  }

  // The host with the plug-in registered, made on first use; `with_view`
  // gives its view a top-level window first, as an application's runner.
  host::TestDriver& Host(bool with_view = false) {
    if (driver_ == nullptr) {
      driver_ = std::make_unique<host::TestDriver>();
      if (with_view) {
        EXPECT_TRUE(driver_->engine().CreateViewWindow());
      }
      driver_->RegisterPlugin(RegisterWithRegistrar);
    }
    return *driver_;
  }

  // The view's window as registration finds it: the root of the view's.
  HWND ViewWindow() {
    host::HostEngine& engine = Host().engine();
    auto view = static_cast<HWND>(host::HostEngine::ViewWindow(engine.view()));
    return view == nullptr ? nullptr : GetAncestor(view, GA_ROOT);
  }

  MethodReply Call(const std::string& method, const EncodableValue& arguments = EncodableValue()) {
    return Host().CallMethod(method, arguments, std::chrono::seconds(20));
  }

 private:
  ScopedEnvironment apartment_;
  platform::fake::FakeSystemVersion version_{true};
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
  std::unique_ptr<host::TestDriver> driver_;
};

}  // namespace quillmar::standin_test
