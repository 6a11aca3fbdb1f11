// Registration hands the view's window to the dialogs that need an owner
// (the consent prompt, the Store's install dialog), and forgets it with its
// registrar.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillmar
