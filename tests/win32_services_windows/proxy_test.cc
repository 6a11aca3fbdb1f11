// "getSystemProxyConfig" over WinHTTP, with the user's settings written to
// the registry as Internet settings write them. A configuration script is
// served on loopback by scripts/test-windows-pac, which runs the Script
// cases with QUILLMAR_PAC_URL set; elsewhere they are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "services/handlers.h"
#include "tests/support/recording_result.h"

namespace quillmar::windows_test {
namespace {

using testing::MapArgs;

constexpr wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kDefaultSettings[] = L"DefaultConnectionSettings";

constexpr uint32_t kDirect = 1, kUseProxy = 2, kUseScript = 4;

struct ConnectionSettings {
  uint32_t flags;
  std::string proxy, bypass, script;
};

void AppendDword(std::string* bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) *bytes += static_cast<char>(value >> shift);
}

// The binary layout of DefaultConnectionSettings: version 0x46, a change
// counter and the flags, then the proxy, bypass and script texts, each
// after its length, then 32 bytes of zeros.
std::string Layout(const ConnectionSettings& settings) {
  std::string bytes;
  AppendDword(&bytes, 0x46);
  AppendDword(&bytes, 1);
  AppendDword(&bytes, settings.flags);
  for (const std::string* text : {&settings.proxy, &settings.bypass, &settings.script}) {
    AppendDword(&bytes, static_cast<uint32_t>(text->size()));
    bytes += *text;
  }
  return bytes + std::string(32, '\0');
}

void WriteSettings(const ConnectionSettings& settings) {
  std::string bytes = Layout(settings);
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kConnections, kDefaultSettings, REG_BINARY,
                            bytes.data(), static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

void RemoveSettings() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kConnections, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, kDefaultSettings);
    RegCloseKey(key);
  }
}

EncodableValue QueryProxy(const char* url) {
  EncodableValue arguments = MapArgs({{"url", url}});
  auto [log, result] = testing::MakeRecordingResult();
  HandleGetSystemProxyConfig(&arguments, std::move(result));
  std::vector<testing::RecordedAnswer> answers = log->answers();
  EXPECT_EQ(answers.size(), 1u);
  return answers.empty() ? EncodableValue() : answers[0].value;
}

EncodableValue Found(const char* proxy, const char* bypass) {
  return MapArgs({{"success", "true"}, {"proxyConfig", proxy}, {"proxyBypass", bypass}});
}

struct ProxyCase {
  const char* name;
  std::optional<ConnectionSettings> settings;  // none: no value at all
  const char* url;
  const char* proxy;
  const char* bypass;
};

void PrintTo(const ProxyCase& test, std::ostream* out) { *out << test.name; }

class SystemProxyTest : public ::testing::TestWithParam<ProxyCase> {
 protected:
  void SetUp() override { RemoveSettings(); }
  void TearDown() override { RemoveSettings(); }
};

TEST_P(SystemProxyTest, AnswersWhatTheUserSettingsGive) {
  const ProxyCase& test = GetParam();
  if (test.settings) WriteSettings(*test.settings);
  EXPECT_EQ(QueryProxy(test.url), Found(test.proxy, test.bypass));
}

// Nothing listens on loopback port 9 (discard) here: the script cannot be
// fetched, and the manual proxy beside it is not consulted.
INSTANTIATE_TEST_SUITE_P(
    Settings, SystemProxyTest,
    ::testing::Values(
        ProxyCase{"NoSettings", std::nullopt, "http://example.com/", "", ""},
        ProxyCase{"DirectOnly", ConnectionSettings{kDirect, "", "", ""}, "http://example.com/", "",
                  ""},
        ProxyCase{"ManualProxy",
                  ConnectionSettings{kDirect | kUseProxy, "manual.example:8080",
                                     "<local>;*.corp.example", ""},
                  "http://example.com/", "manual.example:8080", "<local>;*.corp.example"},
        ProxyCase{"ManualProxyPerScheme",
                  ConnectionSettings{kDirect | kUseProxy,
                                     "http=web.example:80;https=secure.example:443", "", ""},
                  "https://example.com/", "http=web.example:80;https=secure.example:443", ""},
        ProxyCase{"UnreachableScriptHidesTheManualProxy",
                  ConnectionSettings{kDirect | kUseProxy | kUseScript, "manual.example:8080",
                                     "<local>", "http://127.0.0.1:9/proxy.pac"},
                  "http://example.com/", "", ""}),
    [](const ::testing::TestParamInfo<ProxyCase>& info) { return info.param.name; });

// The script served by scripts/test-windows-pac answers
// "PROXY pac.example:3128; DIRECT" for example.com and "DIRECT" otherwise.
class ScriptProxyTest : public SystemProxyTest {
 protected:
  void SetUp() override {
    const char* url = std::getenv("QUILLMAR_PAC_URL");
    if (url == nullptr) GTEST_SKIP() << "no configuration script served (QUILLMAR_PAC_URL)";
    SystemProxyTest::SetUp();
    WriteSettings({kDirect | kUseProxy | kUseScript, "manual.example:8080", "<local>", url});
  }
};

TEST_F(ScriptProxyTest, TheScriptsProxyIsAnswered) {
  EXPECT_EQ(QueryProxy("http://example.com/path"), Found("pac.example:3128", ""));
}

TEST_F(ScriptProxyTest, ADirectAnswerHidesTheManualProxy) {
  EXPECT_EQ(QueryProxy("http://elsewhere.example/"), Found("", ""));
}

}  // namespace
}  // namespace quillmar::windows_test
