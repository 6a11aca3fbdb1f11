#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/fake/fake_device_family.h"
#include "platform/fake/fake_proxy.h"
#include "platform/service_registry.h"
#include "services/handlers.h"
#include "tests/support/recording_result.h"

namespace quillmar {
namespace {

using platform::AutoProxyOptions;
using platform::CurrentUserProxyConfig;
using platform::PlatformError;
using platform::PlatformString;
using platform::ProxyInfo;
using platform::ProxyText;
using platform::fake::FakeAnalyticsInfo;
using platform::fake::FakeProxyResolver;
using testing::MapArgs;
using testing::RecordedAnswer;

// The one success value a handler answered.
EncodableValue AnswerOf(void (*handler)(const EncodableValue*, std::unique_ptr<MethodResult>),
                        const EncodableValue* arguments) {
  auto [log, result] = testing::MakeRecordingResult();
  handler(arguments, std::move(result));
  std::vector<RecordedAnswer> answers = log->answers();
  EXPECT_EQ(answers.size(), 1u);
  if (answers.empty()) return EncodableValue();
  EXPECT_EQ(answers.front().kind, RecordedAnswer::Kind::kSuccess);
  return answers.front().value;
}

EncodableValue ProxyReply(const char* proxy, const char* bypass) {
  return MapArgs({{"success", "true"}, {"proxyConfig", proxy}, {"proxyBypass", bypass}});
}

EncodableValue ProxyFailure(const char* error) {
  return MapArgs({{"success", "false"}, {"error", error}});
}

struct DeviceCase {
  const char* name;
  std::function<void(FakeAnalyticsInfo&)> arrange;
  EncodableValue reply;
  friend void PrintTo(const DeviceCase& c, std::ostream* out) { *out << c.name; }
};

class DeviceTypeTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceTypeTest, AnswersTheFamilyTextOrTrueOnFailure) {
  FakeAnalyticsInfo analytics;
  platform::ScopedOverride<platform::AnalyticsInfo> use(&analytics);
  GetParam().arrange(analytics);
  EncodableValue arguments = MapArgs({{"ignored", 1}});
  EXPECT_EQ(AnswerOf(HandleGetDeviceType, &arguments), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Families, DeviceTypeTest,
    ::testing::Values(
        DeviceCase{"Desktop", [](FakeAnalyticsInfo&) {}, EncodableValue("Windows.Desktop")},
        DeviceCase{
            "NonAscii",
            [](FakeAnalyticsInfo& a) { a.set_device_family(PlatformString(u"Ger\u00E4t.X")); },
            EncodableValue("Ger\xC3\xA4t.X")},
        DeviceCase{"Empty", [](FakeAnalyticsInfo& a) { a.set_device_family(PlatformString()); },
                   EncodableValue("")},
        DeviceCase{"VersionInfoFails",
                   [](FakeAnalyticsInfo& a) { a.FailVersionInfo(PlatformError(platform::kEFail)); },
                   EncodableValue(true)},
        DeviceCase{"DeviceFamilyFails",
                   [](FakeAnalyticsInfo& a) {
                     a.FailDeviceFamily(PlatformError(platform::kEAccessDenied));
                   },
                   EncodableValue(true)}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) { return info.param.name; });

#if !defined(_WIN32)
TEST(LinuxDeviceTypeTest, AnswersLinuxDesktop) {
  EXPECT_EQ(AnswerOf(HandleGetDeviceType, nullptr), EncodableValue("Linux.Desktop"));
}
#endif  // !_WIN32

ProxyInfo Found(ProxyText proxy, ProxyText bypass) {
  ProxyInfo info;
  info.proxy = std::move(proxy);
  info.proxy_bypass = std::move(bypass);
  return info;
}

CurrentUserProxyConfig User(ProxyText proxy, ProxyText bypass, ProxyText script = std::nullopt) {
  CurrentUserProxyConfig config;
  config.proxy = std::move(proxy);
  config.proxy_bypass = std::move(bypass);
  config.auto_config_url = std::move(script);
  return config;
}

struct ProxyCase {
  const char* name;
  bool open_fails;
  std::optional<ProxyInfo> discovery;
  std::optional<CurrentUserProxyConfig> user;
  std::optional<ProxyInfo> script;
  EncodableValue reply;
  friend void PrintTo(const ProxyCase& c, std::ostream* out) { *out << c.name; }
};

class ProxyConfigTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyConfigTest, AnswersWhatDiscoveryScriptOrUserSettingsGive) {
  const ProxyCase& c = GetParam();
  FakeProxyResolver resolver;
  platform::ScopedOverride<platform::ProxyResolver> use(&resolver);
  resolver.set_open_fails(c.open_fails);
  resolver.set_discovery(c.discovery);
  resolver.set_user_settings(c.user);
  resolver.set_script(c.script);
  EncodableValue arguments = MapArgs({{"url", "https://vault.example.com/api"}});
  EXPECT_EQ(AnswerOf(HandleGetSystemProxyConfig, &arguments), c.reply);
}

const char16_t kScript[] = u"http://wpad.corp/proxy.pac";

INSTANTIATE_TEST_SUITE_P(
    Branches, ProxyConfigTest,
    ::testing::Values(
        ProxyCase{"NoProxyAnywhere", false, std::nullopt, User(std::nullopt, std::nullopt),
                  std::nullopt, ProxyReply("", "")},
        ProxyCase{"UserSettingsUnreadable", false, std::nullopt, std::nullopt, std::nullopt,
                  ProxyReply("", "")},
        ProxyCase{"SessionDoesNotOpen", true, Found(u"found:1", u"x"), User(u"manual:2", u"y"),
                  std::nullopt, ProxyReply("", "")},
        ProxyCase{"DiscoveryFindsProxy", false, Found(u"auto:8080", u"*.corp;<local>"),
                  User(u"manual:3128", u"other"), std::nullopt,
                  ProxyReply("auto:8080", "*.corp;<local>")},
        ProxyCase{"DiscoveryFindsProxyWithoutBypass", false, Found(u"auto:8080", std::nullopt),
                  std::nullopt, std::nullopt, ProxyReply("auto:8080", "")},
        ProxyCase{"ManualProxyUnchanged", false, std::nullopt,
                  User(u"http=p:80;https=p:443", u"<local>;10.*"), std::nullopt,
                  ProxyReply("http=p:80;https=p:443", "<local>;10.*")},
        ProxyCase{"DirectDiscoveryKeepsItsBypassUnderManualProxy", false,
                  Found(std::nullopt, u"*.found"), User(u"manual:3128", std::nullopt), std::nullopt,
                  ProxyReply("manual:3128", "*.found")},
        ProxyCase{"ScriptGivesProxy", false, std::nullopt, User(u"manual:3128", u"m", kScript),
                  Found(u"script:81", u"s"), ProxyReply("script:81", "s")},
        ProxyCase{"ScriptWithoutProxyHidesManualProxy", false, std::nullopt,
                  User(u"manual:3128", u"m", kScript), Found(std::nullopt, std::nullopt),
                  ProxyReply("", "")},
        ProxyCase{"FailingScriptHidesManualProxy", false, std::nullopt,
                  User(u"manual:3128", u"m", kScript), std::nullopt, ProxyReply("", "")}),
    [](const ::testing::TestParamInfo<ProxyCase>& info) { return info.param.name; });

TEST(ProxyCallsTest, DiscoveryThenScriptWithTheSameSessionAndUrlThenClose) {
  FakeProxyResolver resolver;
  platform::ScopedOverride<platform::ProxyResolver> use(&resolver);
  resolver.set_user_settings(User(std::nullopt, std::nullopt, kScript));
  EncodableValue arguments = MapArgs({{"url", "http://h\xC3\xA9/x"}});
  EXPECT_EQ(AnswerOf(HandleGetSystemProxyConfig, &arguments), ProxyReply("", ""));

  ASSERT_EQ(resolver.opened().size(), 1u);
  EXPECT_EQ(resolver.opened()[0].user_agent, u"Quillmar AutoProxy/1.0");
  EXPECT_EQ(resolver.opened()[0].access_type, 1u);
  EXPECT_EQ(resolver.opened()[0].flags, 0u);
  std::vector<FakeProxyResolver::Lookup> lookups = resolver.lookups();
  ASSERT_EQ(lookups.size(), 2u);
  for (const auto& lookup : lookups) {
    EXPECT_EQ(lookup.url, u"http://h\u00E9/x");
    EXPECT_TRUE(lookup.options.auto_logon_if_challenged);
  }
  EXPECT_EQ(lookups[0].options.flags, 1u);
  EXPECT_EQ(lookups[0].options.auto_detect_flags, 3u);
  EXPECT_FALSE(lookups[0].options.auto_config_url.has_value());
  EXPECT_EQ(lookups[1].options.flags, 2u);
  EXPECT_EQ(lookups[1].options.auto_detect_flags, 0u);
  EXPECT_EQ(lookups[1].options.auto_config_url, std::u16string(kScript));
  EXPECT_EQ(resolver.closed().size(), 1u);
}

TEST(ProxyCallsTest, FoundProxySkipsTheUserSettingsAndMissingUrlIsEmpty) {
  FakeProxyResolver resolver;
  platform::ScopedOverride<platform::ProxyResolver> use(&resolver);
  resolver.set_discovery(Found(u"auto:1", std::nullopt));
  EXPECT_EQ(AnswerOf(HandleGetSystemProxyConfig, nullptr), ProxyReply("auto:1", ""));
  EXPECT_EQ(resolver.user_settings_reads(), 0);
  ASSERT_EQ(resolver.lookups().size(), 1u);
  EXPECT_EQ(resolver.lookups()[0].url, u"");
}

struct ProxyFailureCase {
  const char* name;
  EncodableValue arguments;
  std::exception_ptr thrown;
  const char* error;
  friend void PrintTo(const ProxyFailureCase& c, std::ostream* out) { *out << c.name; }
};

class ProxyFailureTest : public ::testing::TestWithParam<ProxyFailureCase> {};

TEST_P(ProxyFailureTest, AnswersFalseWithTheTextOfWhatWasThrown) {
  FakeProxyResolver resolver;
  platform::ScopedOverride<platform::ProxyResolver> use(&resolver);
  if (GetParam().thrown) resolver.ThrowFromOpen(GetParam().thrown);
  EXPECT_EQ(AnswerOf(HandleGetSystemProxyConfig, &GetParam().arguments),
            ProxyFailure(GetParam().error));
}

EncodableValue Url() { return MapArgs({{"url", "http://x/"}}); }

INSTANTIATE_TEST_SUITE_P(
    Thrown, ProxyFailureTest,
    ::testing::Values(
        ProxyFailureCase{"UrlIsANumber", MapArgs({{"url", 80}}), nullptr, "bad variant access"},
        ProxyFailureCase{"UrlIsNull", MapArgs({{"url", EncodableValue()}}), nullptr,
                         "bad variant access"},
        ProxyFailureCase{"StandardException", Url(),
                         std::make_exception_ptr(std::runtime_error("resolver broke")),
                         "resolver broke"},
        ProxyFailureCase{"OutOfMemory", Url(), std::make_exception_ptr(std::bad_alloc()),
                         "bad allocation"},
        ProxyFailureCase{"String", Url(), std::make_exception_ptr(std::string("as a string")),
                         "as a string"},
        ProxyFailureCase{"CString", Url(), std::make_exception_ptr("as a C string"),
                         "as a C string"},
        ProxyFailureCase{"PlatformError", Url(),
                         std::make_exception_ptr(PlatformError(platform::kEFail)), "unknown_error"},
        ProxyFailureCase{"Integer", Url(), std::make_exception_ptr(7), "unknown_error"}),
    [](const ::testing::TestParamInfo<ProxyFailureCase>& info) { return info.param.name; });

#if !defined(_WIN32)
// The Linux backend reads the conventional variables and chooses them by the
// URL's scheme, as curl documents it: SCHEME_proxy, then all_proxy, lower
// case before upper case, empty values as unset; no_proxy is the bypass.
struct SchemeCase {
  const char* name;
  const char* url;
  std::vector<std::pair<const char*, const char*>> variables;
  const char* proxy;
  const char* bypass;
  friend void PrintTo(const SchemeCase& c, std::ostream* out) { *out << c.name; }
};

class LinuxProxyTest : public ::testing::TestWithParam<SchemeCase> {
 protected:
  void SetUp() override {
    for (const char* name : kNames) unsetenv(name);
  }
  void TearDown() override { SetUp(); }

  static constexpr const char* kNames[] = {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY",
                                           "ftp_proxy",   "FTP_PROXY",   "all_proxy",  "ALL_PROXY",
                                           "no_proxy",    "NO_PROXY"};
};

TEST_P(LinuxProxyTest, ChoosesTheVariableOfTheUrlsScheme) {
  for (const auto& [name, value] : GetParam().variables) setenv(name, value, 1);
  EncodableValue arguments = MapArgs({{"url", GetParam().url}});
  EXPECT_EQ(AnswerOf(HandleGetSystemProxyConfig, &arguments),
            ProxyReply(GetParam().proxy, GetParam().bypass));
}

const std::vector<std::pair<const char*, const char*>> kBothSchemes = {
    {"http_proxy", "http://plain:3128"}, {"https_proxy", "http://secure:3129"}};

INSTANTIATE_TEST_SUITE_P(
    SchemeTable, LinuxProxyTest,
    ::testing::Values(
        SchemeCase{"NoVariables", "https://example.com/", {}, "", ""},
        SchemeCase{"HttpUrlTakesHttpProxy", "http://example.com/", kBothSchemes,
                   "http://plain:3128", ""},
        SchemeCase{"HttpsUrlTakesHttpsProxy", "https://example.com/", kBothSchemes,
                   "http://secure:3129", ""},
        SchemeCase{"SchemeInUpperCase", "HTTPS://example.com/", kBothSchemes, "http://secure:3129",
                   ""},
        SchemeCase{"HttpsUrlIgnoresHttpProxy",
                   "https://example.com/",
                   {{"http_proxy", "http://plain:3128"}},
                   "",
                   ""},
        SchemeCase{"HttpUrlIgnoresHttpsProxy",
                   "http://example.com/",
                   {{"HTTPS_PROXY", "http://secure:3129"}, {"no_proxy", "localhost"}},
                   "",
                   "localhost"},
        SchemeCase{"LowerCaseBeforeUpperCase",
                   "https://example.com/",
                   {{"HTTPS_PROXY", "http://upper:1"}, {"https_proxy", "http://lower:2"}},
                   "http://lower:2",
                   ""},
        SchemeCase{"UpperCaseWhenLowerIsEmpty",
                   "http://example.com/",
                   {{"http_proxy", ""}, {"HTTP_PROXY", "http://upper:1"}},
                   "http://upper:1",
                   ""},
        SchemeCase{"AllProxyWhenTheSchemeHasNone",
                   "https://example.com/",
                   {{"http_proxy", "http://plain:3128"}, {"ALL_PROXY", "socks5://all:1080"}},
                   "socks5://all:1080",
                   ""},
        SchemeCase{"SchemesProxyBeforeAllProxy",
                   "http://example.com/",
                   {{"all_proxy", "socks5://all:1080"}, {"http_proxy", "http://plain:3128"}},
                   "http://plain:3128",
                   ""},
        SchemeCase{"OtherSchemesUseTheirOwnVariable",
                   "ftp://files.example.com/",
                   {{"ftp_proxy", "http://ftp-gate:21"}, {"http_proxy", "http://plain:3128"}},
                   "http://ftp-gate:21",
                   ""},
        SchemeCase{"UrlWithoutSchemeTakesAllProxyOnly",
                   "",
                   {{"https_proxy", "http://secure:3129"}, {"all_proxy", "socks5://all:1080"}},
                   "socks5://all:1080",
                   ""},
        SchemeCase{"UrlWithoutSchemeAndNoAllProxy",
                   "example.com:443",
                   {{"https_proxy", "http://secure:3129"}},
                   "",
                   ""},
        SchemeCase{"NoProxyIsTheBypassBesideAProxy",
                   "https://example.com/",
                   {{"https_proxy", "http://secure:3129"}, {"NO_PROXY", "localhost,.corp"}},
                   "http://secure:3129",
                   "localhost,.corp"},
        SchemeCase{"NoProxyInLowerCaseFirst",
                   "http://example.com/",
                   {{"http_proxy", "http://plain:3128"},
                    {"NO_PROXY", "upper.example"},
                    {"no_proxy", "lower.example"}},
                   "http://plain:3128",
                   "lower.example"}),
    [](const ::testing::TestParamInfo<SchemeCase>& info) { return info.param.name; });

#endif  // !_WIN32

}  // namespace
}  // namespace quillmar
