// The application's runner, reduced: an engine of the host stand-in, the
// generated registrant over it, and one method call as the UI would send it.
// Prints the plug-in name the registrant asked for and the reply in hex.
#include <host_engine.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "flutter/generated_plugin_registrant.h"

namespace {

class EngineRegistry : public flutter::PluginRegistry {
 public:
  explicit EngineRegistry(quillmar::host::HostEngine* engine) : engine_(engine) {}

  FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& plugin_name) override {
    std::printf("registrar for %s\n", plugin_name.c_str());
    return engine_->registrar();
  }

 private:
  quillmar::host::HostEngine* engine_;
};

// "isKeychainSecure" with null arguments, in the standard method codec.
std::vector<uint8_t> IsKeychainSecureCall() {
  const std::string method = "isKeychainSecure";
  std::vector<uint8_t> bytes = {7, static_cast<uint8_t>(method.size())};
  bytes.insert(bytes.end(), method.begin(), method.end());
  bytes.push_back(0);
  return bytes;
}

}  // namespace

int main() {
  quillmar::host::HostEngine engine;
  EngineRegistry registry(&engine);
  engine.RunSync([&] { RegisterPlugins(&registry); });

  std::promise<std::vector<uint8_t>> reply;
  std::future<std::vector<uint8_t>> answered = reply.get_future();
  engine.Deliver("quillmar_core_windows", IsKeychainSecureCall(),
                 [&reply](std::vector<uint8_t> bytes) { reply.set_value(std::move(bytes)); });
  if (answered.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    std::printf("no reply\n");
    return 1;
  }
  std::printf("reply ");
  for (uint8_t byte : answered.get()) std::printf("%02x", byte);
  std::printf("\n");
  return 0;
}
