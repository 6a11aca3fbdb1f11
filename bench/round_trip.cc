// Method calls per second through the host stand-in: "isKeychainSecure"
// answered by the plug-in, against a bare echo channel whose callback answers
// at once (the host's own cost of one message and its reply).
#include <flutter_windows.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <vector>

#include "host/driver/test_driver.h"
#include "plugin/registration.h"

namespace {

using Clock = std::chrono::steady_clock;

void Echo(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void*) {
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, message->message,
                                      message->message_size);
}

// Calls per second for `count` messages sent one after the other.
double CallsPerSecond(quillmar::host::TestDriver& driver, const char* channel,
                      const std::vector<uint8_t>& message, int count) {
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) driver.Deliver(channel, message).get();
  return count / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
  quillmar::host::TestDriver driver;
  driver.RegisterPlugin(quillmar::RegisterWithRegistrar);
  driver.engine().RunSync([&] {
    FlutterDesktopMessengerSetCallback(driver.engine().messenger(), "bench_echo", Echo, nullptr);
  });
  std::vector<uint8_t> call = quillmar::host::EncodeMethodCall("isKeychainSecure", {});
  const int count = 20000;
  CallsPerSecond(driver, quillmar::host::kPluginChannel, call, 1000);  // warm up
  double best_echo = 0, best_call = 0;
  for (int round = 0; round < 3; ++round) {
    best_echo = std::max(best_echo, CallsPerSecond(driver, "bench_echo", call, count));
    best_call =
        std::max(best_call, CallsPerSecond(driver, quillmar::host::kPluginChannel, call, count));
  }
  std::printf("host echo round trip        %9.0f calls/s\n", best_echo);
  std::printf("isKeychainSecure round trip %9.0f calls/s (%.2fx the echo's time per call)\n",
              best_call, best_echo / best_call);
  return 0;
}
