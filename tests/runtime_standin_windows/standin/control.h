// How a test drives the stand-in runtime (standin/, a DLL registered in the
// Wine prefix under the real runtime class names) and reads what it was
// asked. Test code only: shared by the stand-in DLL and the tests, never
// linked into the library.
//
// Everything lives in one folder of the prefix (StateFolder()), so that the
// test, the stand-in loaded into the test process and the stand-in loaded
// into other processes (quillmar-host.exe children) see the same state:
// - "script": the outcomes the test chose, one `key=value` line each;
// - "record": what the stand-in was asked, one line each, appended in order;
// - "vault": the password vault's entries.
// While the folder holds no "script" file the stand-in is switched off: its
// DllGetActivationFactory answers REGDB_E_CLASSNOTREG, as a system without
// these classes does, so suites that expect them missing keep passing.
//
// Script keys (absent: the default in brackets):
//   consent.availability         UserConsentVerifierAvailability value [0]
//   consent.result               UserConsentVerificationResult value [0]
//   device.family                AnalyticsVersionInfo.DeviceFamily [Windows.Desktop]
//   store.updates                number of pending updates listed [0]
//   store.progress               TotalDownloadProgress of each report, in
//                                order, comma separated [none]
//   store.state                  final OverallState [3, Completed]
//   restart.reason               AppRestartFailureReason the restart fails
//                                with [none: the restart goes through and
//                                ends the process with kRestartExitCode,
//                                the operation never completing]
//   store.progress_when          "handler_set": the install's reports wait
//                                for the caller's progress handler and are
//                                made while its put_Progress waits for them
//                                [none: when the operation runs]
//   vault.names                  "case_sensitive": entry names differ by
//                                case [none: they do not, as most reported]
//   vault.password_limit         the most UTF-16 bytes a password may hold
//                                (0: no limit) [2560]
//   vault.app_container          1: the caller runs in an AppContainer,
//                                where Add of a 21st entry fails [0]
//   hold.<step>                  N: the Nth call of <step> from now, by any
//                                process, does its work and then waits,
//                                before answering, until Release(); steps:
//                                vault.activate, vault.retrieve (the
//                                library's Retrieve holds its vault turn)
//   delay_ms                     how long each operation waits on the
//                                stand-in's own thread before completing [0];
//                                at 0 an operation may end, and report its
//                                progress, before the caller sets its
//                                handlers: a report made while no progress
//                                handler is set is lost, as on the platform
//   fail.<step>                  an HRESULT (0x...) that <step> fails with:
//     a call fails with it before returning; a step ending in ".operation"
//     makes the asynchronous operation end with status Error, its
//     GetResults answering that HRESULT. Steps:
//     vault.activate, vault.retrieve, vault.retrieve_password, vault.add,
//     vault.remove, credential.create, consent.statics,
//     consent.check, consent.check.operation, consent.request,
//     consent.request.operation, analytics.statics, analytics.version_info,
//     analytics.device_family, store.statics, store.get_default,
//     store.list, store.list.operation, store.install,
//     store.install.operation, store.result, core.statics, core.restart,
//     core.restart.operation
//     A "<class>.statics" step fails getting the class's factory (what
//     RoGetActivationFactory answers); "store.result" fails reading the
//     install result's OverallState.
//
// Each progress report of an install carries TotalDownloadProgress as
// scripted, the download of all packages; the packages are downloaded one
// after the other, 1000 bytes each, and a report is about the one the total
// has reached: its PackageDownloadProgress runs from 0 to 0.8 over its
// download (PackageBytesDownloaded alike), state Downloading, then
// Deploying. The result lists one status per installed update in the final
// state: after Completed each at 1.0 with all bytes, after any other end
// each as far as the last report got. An install on a context without
// IInitializeWithWindow ends with Error 0x80070578 and no progress. Listed
// updates are not mandatory.
//
// Record lines (UTF-8):
//   consent.check
//   consent.request prompt=<text>                 the plain form
//   consent.request_for_window window=<hex> prompt=<text>   the interop form
//   store.initialize window=<hex>                 IInitializeWithWindow
//   store.list
//   store.install initialized=<0|1> count=<n>
//   restart arguments=<text>
// <hex> is the window handle's value in lowercase hexadecimal without a
// prefix (0 for none); <text> is the UTF-8 text as given. A line end or a
// backslash in a line is stored escaped and read back as it was written.
// A call is recorded before any scripted failure of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmar::standin {

// The prefix folder that holds the stand-in's state (created on first use).
std::wstring StateFolder();

// Registers the stand-in DLL at `dll_path` in the prefix's registry under
// each runtime class name it serves (HKLM ActivatableClassId, DllPath), so
// that RoGetActivationFactory of this and every later process of the prefix
// loads it. Idempotent.
void Register(const std::wstring& dll_path);

// The stand-in DLL's path beside the running program (the build's bin/).
std::wstring DllBesideProgram();

// Switches the stand-in on with an empty script, an empty record and an
// empty vault.
void Reset();

// Switches it off (removes the script, the record and the vault).
void SwitchOff();

// Sets one script key, replacing an earlier value.
void Set(std::string_view key, std::string_view value);

// The record's lines, in the order they were written.
std::vector<std::string> Recorded();

// The vault's entries as (resource, user name, password), UTF-8, sorted by
// resource then user name.
struct VaultEntry {
  std::string resource;
  std::string user_name;
  std::string password;
  bool operator==(const VaultEntry&) const = default;
};
std::vector<VaultEntry> VaultEntries();

// Stores an entry directly, replacing one of the same resource and user name.
void PutVaultEntry(const VaultEntry& entry);

// The exit code of a process the stand-in's restart ended.
inline constexpr unsigned kRestartExitCode = 0x52;

// A hold ("hold.<step>"): waits up to `patience_ms` until a call holds;
// whether one does.
bool WaitUntilHeld(unsigned patience_ms = 20000);
// Lets the held call go on (and every later one that reaches a hold).
void Release();

// The stand-in's objects alive in this process: every object it created
// (factories excepted, which live as long as the DLL) and not yet freed.
// 0 when the DLL is not loaded in this process. Read through the DLL's
// export QuillmarStandInLiveObjects. An operation's last references are
// dropped on the stand-in's thread just after it completes: poll for a
// short while before asserting 0.
long LiveObjects();

}  // namespace quillmar::standin
