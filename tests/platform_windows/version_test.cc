// The version check on both sides of the Windows 10 line, in new processes
// of a Wine prefix switched between versions: Wine reads the version when a
// process starts. Windows reports 10.0 only to a program whose manifest
// declares Windows 10, so the probe runs with and without one.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/windows_process.h"

namespace quillmar::testing {
namespace {

struct VersionCase {
  const char* name;
  const char* wine_version;  // as Wine's own configuration names it
  bool manifest;
  const char* expected;  // what the probe prints
};

class WindowsVersionLine : public ::testing::TestWithParam<VersionCase> {
 protected:
  static void SetWineVersion(const std::string& version) {
    ProgramRun run = RunProgram("reg.exe", {"add", "HKCU\\Software\\Wine", "/v", "Version", "/t",
                                            "REG_SZ", "/d", version, "/f"});
    ASSERT_TRUE(run.started);
    ASSERT_EQ(run.exit_code, 0u);
  }
  // The session's prefix reports Windows 10 to every other test.
  void TearDown() override { SetWineVersion("win10"); }
};

TEST_P(WindowsVersionLine, ProbeSeesTheVersionOfThePrefix) {
  if (!RunningUnderWine()) GTEST_SKIP() << "the version can be switched only under Wine";
  const VersionCase& test = GetParam();
  SetWineVersion(test.wine_version);
  std::string probe = ThisProgramFolder() + (test.manifest ? "\\windows_version_probe.exe"
                                                           : "\\windows_version_probe_bare.exe");
  ProgramRun run = RunProgram(probe, {});
  ASSERT_TRUE(run.started) << probe;
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(WithoutCarriageReturns(run.output), std::string(test.expected) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WindowsVersionLine,
    ::testing::Values(VersionCase{"Windows7", "win7", true, "10.0:0 6.1:1"},
                      VersionCase{"Windows81", "win81", true, "10.0:0 6.1:1"},
                      VersionCase{"Windows10", "win10", true, "10.0:1 6.1:1"},
                      // Without the manifest Windows 10 presents itself as 8.
                      VersionCase{"Windows10WithoutManifest", "win10", false, "10.0:0 6.1:1"},
                      VersionCase{"Windows7WithoutManifest", "win7", false, "10.0:0 6.1:1"}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quillmar::testing
