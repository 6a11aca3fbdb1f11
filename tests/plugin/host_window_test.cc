// Registration hands the view's window to the dialogs that need an owner
// (the consent prompt, the Store's install dialog), and forgets it with its
// registrar.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "common/registration_state.h"
#include "host/driver/test_driver.h"
#include "plugin/registration.h"

namespace quillmar {
namespace {

TEST(HostWindowTest, RegistrationKeepsTheViewsWindowUntilItsRegistrarGoes) {
  void* window = nullptr;
  {
    host::TestDriver driver;
    if (!driver.engine().CreateViewWindow()) GTEST_SKIP() << "the host's view has no window here";
    window = host::HostEngine::ViewWindow(driver.engine().view());
    ASSERT_NE(window, nullptr);
    driver.RegisterPlugin(RegisterWithRegistrar);
    EXPECT_EQ(HostWindow(), window);
  }
  EXPECT_EQ(HostWindow(), nullptr);
}

TEST(HostWindowTest, RegistrarWithoutAWindowLeavesTheEarlierOne) {
  host::TestDriver with_view;
  if (!with_view.engine().CreateViewWindow()) GTEST_SKIP() << "the host's view has no window here";
  with_view.RegisterPlugin(RegisterWithRegistrar);
  void* window = HostWindow();
  ASSERT_NE(window, nullptr);
  {
    host::TestDriver headless;
    headless.RegisterPlugin(RegisterWithRegistrar);
    EXPECT_EQ(HostWindow(), window);
  }
  EXPECT_EQ(HostWindow(), window);
}

// The embedding destroys the view before its engine stops and runs the
// destruction handler.
TEST(HostWindowTest, TeardownNeverAsksTheDestroyedViewForItsWindow) {
  host::TestDriver driver;
  if (!driver.engine().CreateViewWindow()) GTEST_SKIP() << "the host's view has no window here";
  driver.RegisterPlugin(RegisterWithRegistrar);
  driver.engine().DestroyView();
  driver.engine().DestroyRegistrar();
  EXPECT_EQ(driver.engine().destroyed_view_use_count(), 0);
  EXPECT_EQ(HostWindow(), nullptr);
}

// Two engines in one process: forgetting either leaves the other's window
// and platform thread to the handlers.
class TwoEnginesTest : public ::testing::TestWithParam<int> {};

TEST_P(TwoEnginesTest, EachRegistrarKeepsItsOwnWindowAndThread) {
  std::array<std::unique_ptr<host::TestDriver>, 2> drivers;
  std::array<void*, 2> windows{};
  std::array<std::shared_ptr<platform::WorkQueue>, 2> threads;
  for (int i = 0; i < 2; ++i) {
    drivers[i] = std::make_unique<host::TestDriver>();
    drivers[i]->engine().CreateViewWindow();
    drivers[i]->RegisterPlugin(RegisterWithRegistrar);
    windows[i] = HostWindow();
    threads[i] = HostThread();
    ASSERT_NE(threads[i], nullptr);
  }
  const int first = GetParam();
  const int other = 1 - first;
  drivers[first].reset();
  EXPECT_EQ(HostWindow(), windows[other]);
  EXPECT_EQ(HostThread(), threads[other]);
  threads = {};
  drivers[other].reset();
  EXPECT_EQ(HostWindow(), nullptr);
  EXPECT_EQ(HostThread(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoEnginesTest, ::testing::Values(0, 1), [](const auto& info) {
  return std::string(info.param == 0 ? "OldestFirst" : "NewestFirst");
});

}  // namespace
}  // namespace quillmar
