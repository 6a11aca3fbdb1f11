// The Linux vault's turn between processes: a lock on a file in the user's
// runtime directory, here held by flock(1). Past the limit a call answers
// that another process holds the vault; once the holder dies it goes through.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "channel/method_call.h"
#include "platform/service_registry.h"
#include "platform/vault.h"
#include "plugin/quillmar_core_windows.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using testing::MapArgs;

class ShortWait : public platform::VaultTurnWait {
  std::chrono::milliseconds Limit() override { return std::chrono::milliseconds(200); }
};

EncodableValue Call(const char* method, EncodableValue arguments) {
  auto [log, result] = testing::MakeRecordingResult();
  QuillmarCoreWindows().DispatchMethodCall(
      MethodCall(method, std::make_unique<EncodableValue>(arguments)), std::move(result));
  return log->WaitFor(1) ? log->answers()[0].value : EncodableValue("no answer");
}

TEST(LinuxVaultTurnTest, AnswersBusyWhileAnotherProcessHoldsItThenGoesThrough) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr || runtime == nullptr ||
      !testing::OnPath("flock")) {
    GTEST_SKIP() << "needs a session bus, XDG_RUNTIME_DIR and flock(1)";
  }
  ShortWait wait;
  platform::ScopedOverride<platform::VaultTurnWait> override_wait(&wait);
  EncodableValue write =
      MapArgs({{"itemKey", EncodableValue("turn")}, {"itemValue", EncodableValue("v")}});
  EncodableValue ok = MapArgs({{"error", EncodableValue()}, {"status", EncodableValue("ok")}});
  ASSERT_EQ(Call("upsertKeychainItem", write), ok);
  testing::ChildProcess holder({"flock", "-o", std::string(runtime) + "/quillmar-vault.lock", "sh",
                                "-c", "echo held; exec sleep 20"},
                               "");
  ASSERT_EQ(holder.ReadLine(std::chrono::seconds(10)), "held");
  EXPECT_EQ(Call("upsertKeychainItem", write),
            MapArgs({{"error", EncodableValue("Another process holds the password vault; nothing "
                                              "was changed. Try again.")},
                     {"status", EncodableValue("error")}}));
  holder.Stop();
  EXPECT_EQ(Call("upsertKeychainItem", write), ok);
  Call("deleteKeychainItem", MapArgs({{"itemKey", EncodableValue("turn")}}));
}

}  // namespace
}  // namespace quillmar
