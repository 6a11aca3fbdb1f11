// The host stand-in's platform thread on Windows, as the real embedding's UI
// thread: a single-threaded COM apartment whose tasks arrive as window
// messages, so they also run inside a modal loop, and the owner of the
// view's window. QUILLMAR_HOST_APARTMENT=multithreaded moves it to the
// multithreaded apartment, for tests under Wine.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <future>
#include <thread>

#include "host/include/flutter_windows.h"
#include "host/include/host_engine.h"

namespace quillmar::host {
namespace {

// Sets QUILLMAR_HOST_APARTMENT for one test, or clears it (nullptr).
class ApartmentChoice {
 public:
  explicit ApartmentChoice(const wchar_t* value) { SetEnvironmentVariableW(kName, value); }
  ~ApartmentChoice() { SetEnvironmentVariableW(kName, nullptr); }

 private:
  static constexpr wchar_t kName[] = L"QUILLMAR_HOST_APARTMENT";
};

APTTYPE PlatformApartment(HostEngine& engine) {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  HRESULT status = E_FAIL;
  engine.RunSync([&] { status = CoGetApartmentType(&type, &qualifier); });
  EXPECT_EQ(status, S_OK);
  return type;
}

TEST(WindowsPlatformThread, IsASingleThreadedApartment) {
  ApartmentChoice unset(nullptr);
  HostEngine engine;
  APTTYPE type = PlatformApartment(engine);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

struct ApartmentRow {
  const char* name;
  const wchar_t* value;
  bool multithreaded;
};

class WindowsPlatformThreadApartment : public testing::TestWithParam<ApartmentRow> {};

TEST_P(WindowsPlatformThreadApartment, FollowsTheEnvironment) {
  ApartmentChoice choice(GetParam().value);
  HostEngine engine;
  APTTYPE type = PlatformApartment(engine);
  if (GetParam().multithreaded) {
    EXPECT_EQ(type, APTTYPE_MTA);
  } else {
    EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
  }
  // Tasks still arrive through the message loop, posted from another thread.
  std::promise<DWORD> ran;
  std::future<DWORD> ran_on = ran.get_future();
  std::thread([&] { engine.Post([&] { ran.set_value(GetCurrentThreadId()); }); }).join();
  DWORD platform_thread = 0;
  engine.RunSync([&] { platform_thread = GetCurrentThreadId(); });
  EXPECT_EQ(ran_on.get(), platform_thread);
}

INSTANTIATE_TEST_SUITE_P(Choices, WindowsPlatformThreadApartment,
                         testing::Values(ApartmentRow{"Multithreaded", L"multithreaded", true},
                                         ApartmentRow{"OtherWordIsSingleThreaded", L"MTA", false},
                                         ApartmentRow{"EmptyIsSingleThreaded", L"", false}),
                         [](const testing::TestParamInfo<ApartmentRow>& info) {
                           return info.param.name;
                         });

TEST(WindowsPlatformThread, TasksRunInsideANestedMessageLoop) {
  HostEngine engine;
  std::atomic<bool> second_ran{false};
  std::promise<bool> first_done;
  std::future<bool> ran_inside_first = first_done.get_future();
  engine.Post([&] {
    // A modal loop, as a dialog of the platform runs one: it dispatches the
    // thread's messages until the second task has run.
    MSG message;
    DWORD deadline = GetTickCount() + 10000;
    while (!second_ran && GetTickCount() < deadline) {
      if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      }
    }
    first_done.set_value(second_ran);
  });
  engine.Post([&] { second_ran = true; });
  // Waits for the first task itself: a task queued behind both may run
  // inside its loop, before it has ended.
  EXPECT_TRUE(ran_inside_first.get());
}

TEST(WindowsPlatformThread, ViewHasAWindowOnlyWhenAskedAndThePlatformThreadOwnsIt) {
  HostEngine engine;
  EXPECT_EQ(FlutterDesktopViewGetHWND(engine.view()), nullptr);
  ASSERT_TRUE(engine.CreateViewWindow());
  HWND window = FlutterDesktopViewGetHWND(FlutterDesktopPluginRegistrarGetView(engine.registrar()));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(GetAncestor(window, GA_ROOT), window);  // a top-level window, as a runner's
  DWORD platform_thread = 0;
  engine.RunSync([&] { platform_thread = GetCurrentThreadId(); });
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), platform_thread);
  // Asking again keeps the one window.
  ASSERT_TRUE(engine.CreateViewWindow());
  EXPECT_EQ(FlutterDesktopViewGetHWND(engine.view()), window);
}

}  // namespace
}  // namespace quillmar::host
