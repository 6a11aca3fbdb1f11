// Method calls per second through the host stand-in: "isKeychainSecure"
// answered by the plug-in, against a bare echo channel whose callback answers
// at once (the host's own cost of one message and its reply).
#include <flutter_windows.h>

#include <algorithm>
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
  // Each round times the echo and the call back to back, so both meet the
  // same load; the median of the rounds' ratios steadies the figure.
  constexpr int kRounds = 9;
  std::vector<double> echoes, calls, ratios;
  for (int round = 0; round < kRounds; ++round) {
    double echo = CallsPerSecond(driver, "bench_echo", call, count);
    double plugin = CallsPerSecond(driver, quillmar::host::kPluginChannel, call, count);
    echoes.push_back(echo);
    calls.push_back(plugin);
    ratios.push_back(echo / plugin);
  }
  std::printf("host echo round trip        %9.0f calls/s (median of %d rounds)\n", Median(echoes),
              kRounds);
  std::printf("isKeychainSecure round trip %9.0f calls/s (%.2fx the echo's time per call)\n",
              Median(calls), Median(ratios));
  return 0;
}
