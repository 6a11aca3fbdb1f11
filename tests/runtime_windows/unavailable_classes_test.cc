// Each method that needs a runtime class, against the real backends where
// the class cannot be activated (as under Wine 8): it answers its failure
// reply, once, and releases its result. The version check is the fake's,
// set to Windows 10, so that the vault branch is the one taken.
#include <gtest/gtest.h>
#include <security_credentials.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "channel/method_call.h"
#include "common/registration_state.h"
#include "platform/fake/fake_system_version.h"
#include "platform/service_registry.h"
#include "platform/windows/winrt_support.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using testing::MapArgs;
using testing::RecordedAnswer;

struct UnavailableRow {
  const char* name;
  const char* method;
  EncodableValue arguments;
  // Checks the one answer.
  void (*check)(const RecordedAnswer& answer);
};

void PrintTo(const UnavailableRow& row, std::ostream* out) { *out << row.name; }

const EncodableValue* Entry(const RecordedAnswer& answer, const char* key) {
  const EncodableMap* map = answer.value.GetIf<EncodableMap>();
  if (map == nullptr) return nullptr;
  auto found = map->find(EncodableValue(key));
  return found == map->end() ? nullptr : &found->second;
}

// A non-empty error text under "error".
void ExpectErrorText(const RecordedAnswer& answer) {
  const EncodableValue* error = Entry(answer, "error");
  ASSERT_NE(error, nullptr);
  const std::string* text = error->GetIf<std::string>();
  ASSERT_NE(text, nullptr);
  EXPECT_FALSE(text->empty());
}

void ExpectEntry(const RecordedAnswer& answer, const char* key, const EncodableValue& expected) {
  const EncodableValue* value = Entry(answer, key);
  ASSERT_NE(value, nullptr) << key;
  EXPECT_EQ(*value, expected) << key;
}

void ExpectSuccessKind(const RecordedAnswer& answer) {
  ASSERT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess) << answer.code << ": " << answer.message;
}

const UnavailableRow kRows[] = {
    {"DeviceTypeAnswersTrue", "getDeviceType", EncodableValue(),
     [](const RecordedAnswer& answer) {
       ExpectSuccessKind(answer);
       EXPECT_EQ(answer.value, EncodableValue(true));
     }},
    {"StoreUpdateFailsWithAMessage", "installStoreUpdate", EncodableValue(),
     [](const RecordedAnswer& answer) {
       ASSERT_EQ(answer.kind, RecordedAnswer::Kind::kError);
       EXPECT_EQ(answer.code, "FAILED");
       // The backend says which class is missing where the system has no text.
       EXPECT_NE(answer.message.find("Windows.Services.Store.StoreContext"), std::string::npos)
           << answer.message;
       EXPECT_TRUE(answer.value.IsNull());
     }},
    {"BiometryIsNotAvailable", "getBiometryAvailability", EncodableValue(),
     [](const RecordedAnswer& answer) {
       ExpectSuccessKind(answer);
       EXPECT_EQ(answer.value, EncodableValue("not_available"));
     }},
    {"BiometricItemAnswersTheVaultsError", "getBiometricSecureItem",
     MapArgs({{"biometricPrompt", EncodableValue("Unlock")}, {"itemKey", EncodableValue("k")}}),
     [](const RecordedAnswer& answer) {
       ExpectSuccessKind(answer);
       ExpectEntry(answer, "status", EncodableValue("error"));
       ExpectErrorText(answer);
       ExpectEntry(answer, "itemValue", EncodableValue());
     }},
    {"ItemReadAnswersTheVaultsError", "getKeychainItem",
     MapArgs({{"itemKey", EncodableValue("k")}}),
     [](const RecordedAnswer& answer) {
       ExpectSuccessKind(answer);
       ExpectErrorText(answer);
       ExpectEntry(answer, "success", EncodableValue(false));
       ExpectEntry(answer, "itemValue", EncodableValue());
     }},
    {"ItemWriteAnswersTheVaultsError", "upsertKeychainItem",
     MapArgs({{"itemKey", EncodableValue("k")}, {"itemValue", EncodableValue("v")}}),
     [](const RecordedAnswer& answer) {
       ExpectSuccessKind(answer);
       ExpectErrorText(answer);
       ExpectEntry(answer, "status", EncodableValue("error"));
     }},
    // Creating the vault lies outside the delete's own guard: the dispatcher
    // answers, and the runtime's error is not a standard exception.
    {"ItemDeleteFailsInTheDispatcher", "deleteKeychainItem",
     MapArgs({{"itemKey", EncodableValue("k")}}),
     [](const RecordedAnswer& answer) {
       ASSERT_EQ(answer.kind, RecordedAnswer::Kind::kError);
       EXPECT_EQ(answer.code, "QUILLMAR_NATIVE_CPP_EXCEPTION");
       EXPECT_EQ(answer.message, "cpp_unknown_exception");
     }},
};

// Whether the runtime classes exist here (on real Windows they do).
bool ClassesActivate() {
  try {
    platform::windows::GetActivationFactory<IActivationFactory>(
        RuntimeClass_Windows_Security_Credentials_PasswordVault);
    return true;
  } catch (const platform::PlatformError&) {
    return false;
  }
}

// The window the host's view would give, or none.
enum class Window { kNone, kTopLevel };

class UnavailableClassTest : public ::testing::TestWithParam<std::tuple<UnavailableRow, Window>> {
 protected:
  void SetUp() override {
    if (ClassesActivate()) GTEST_SKIP() << "this system has the runtime classes";
    if (std::get<1>(GetParam()) == Window::kTopLevel) {
      window_ = CreateWindowExW(0, L"STATIC", L"quillmar test", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                nullptr, nullptr, nullptr, nullptr);
      ASSERT_NE(window_, nullptr);
    }
    AddRegistration(this, window_, nullptr);
  }
  void TearDown() override {
    RemoveRegistration(this);
    if (window_ != nullptr) DestroyWindow(window_);
  }

  HWND window_ = nullptr;

 private:
  platform::fake::FakeSystemVersion version_{true};
  platform::ScopedOverride<platform::SystemVersion> version_override_{&version_};
};

TEST_P(UnavailableClassTest, AnswersItsFailureReplyOnce) {
  const UnavailableRow& row = std::get<0>(GetParam());
  auto [log, result] = testing::MakeRecordingResult();
  // The platform thread of the embedding is a single-threaded apartment.
  std::thread platform_thread([&, result = std::move(result)]() mutable {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    QuillmarCoreWindows plugin;
    MethodCall call(row.method, std::make_unique<EncodableValue>(row.arguments));
    plugin.DispatchMethodCall(call, std::move(result));
    CoUninitialize();
  });
  platform_thread.join();
  ASSERT_TRUE(log->WaitFor(1));
  // A second answer would come at once: the failures end synchronously.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<RecordedAnswer> answers = log->answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(log->released());
  row.check(answers[0]);
}

INSTANTIATE_TEST_SUITE_P(
    RuntimeClassesMissing, UnavailableClassTest,
    ::testing::Combine(::testing::ValuesIn(kRows),
                       ::testing::Values(Window::kNone, Window::kTopLevel)),
    [](const ::testing::TestParamInfo<std::tuple<UnavailableRow, Window>>& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == Window::kNone ? "WithoutWindow" : "WithWindow");
    });

}  // namespace
}  // namespace quillmar
