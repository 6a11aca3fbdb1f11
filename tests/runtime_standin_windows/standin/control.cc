// The state folder's files, for the tests (control.h) and the stand-in DLL
// (state.h) alike.
#include "control.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "object.h"
#include "state.h"

namespace quillmar::standin {
namespace {

constexpr wchar_t kMutexName[] = L"Local\\QuillmarRuntimeStandInState";
constexpr wchar_t kHeldName[] = L"Local\\QuillmarRuntimeStandInHeld";
constexpr wchar_t kReleaseName[] = L"Local\\QuillmarRuntimeStandInRelease";
// How long a held call waits for its release before it goes on alone.
constexpr DWORD kHoldPatienceMs = 60000;
constexpr wchar_t kDllName[] = L"quillmar_runtime_standin.dll";
constexpr wchar_t kClassesKey[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
constexpr const wchar_t* kClasses[] = {
    L"Windows.Security.Credentials.PasswordVault",
    L"Windows.Security.Credentials.PasswordCredential",
    L"Windows.Security.Credentials.UI.UserConsentVerifier",
    L"Windows.System.Profile.AnalyticsInfo",
    L"Windows.Services.Store.StoreContext",
    L"Windows.ApplicationModel.Core.CoreApplication",
};

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("stand-in state: ") + what + " failed, error " +
                           std::to_string(GetLastError()));
}

std::wstring PathOf(const wchar_t* name) { return StateFolder() + L"\\" + name; }

// The whole file, or nothing when it does not exist.
std::optional<std::string> ReadFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) {
      return std::nullopt;
    }
    Fail("opening a file");
  }
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  CloseHandle(file);
  return content;
}

// Replaces the file whole: a temporary of this thread's, then a move.
void WriteFile(const std::wstring& path, std::string_view content) {
  std::wstring temporary = path + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"." +
                           std::to_wstring(GetCurrentThreadId());
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("creating a file");
  DWORD written = 0;
  bool ok =
      content.empty() ||
      (::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
       written == content.size());
  ok = FlushFileBuffers(file) && ok;
  CloseHandle(file);
  if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    Fail("writing a file");
  }
}

void RemoveFile(const std::wstring& path) {
  if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) Fail("deleting a file");
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::pair<std::string, std::string>> ScriptPairs(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::string_view line : Lines(text)) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    pairs.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return pairs;
}

// `script` with `key` set to `value`, or without it when `value` is null.
std::string Rewritten(std::string_view script, std::string_view key, const std::string* value) {
  std::string updated;
  for (auto& [name, text] : ScriptPairs(script)) {
    if (name != key) updated += name + '=' + text + '\n';
  }
  if (value != nullptr) updated += std::string(key) + '=' + *value + '\n';
  return updated;
}

// The hold's two events, made on first use and kept for the process's
// life, so that they outlive every waiter of this process.
HANDLE Event(const wchar_t* name) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name);
  if (event == nullptr) Fail("creating an event");
  return event;
}
HANDLE HeldEvent() {
  static const HANDLE event = Event(kHeldName);
  return event;
}
HANDLE ReleaseEvent() {
  static const HANDLE event = Event(kReleaseName);
  return event;
}

bool EntryOrder(const VaultEntry& a, const VaultEntry& b) {
  return std::tie(a.resource, a.user_name) < std::tie(b.resource, b.user_name);
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring FromUtf8(std::string_view text) {
  if (text.empty()) return {};
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

namespace state {

Lock::Lock() : mutex_(CreateMutexW(nullptr, FALSE, kMutexName)) {
  if (mutex_ == nullptr) Fail("creating the mutex");
  DWORD waited = WaitForSingleObject(mutex_, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex_);
    Fail("taking the mutex");
  }
}

Lock::~Lock() {
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

bool SwitchedOn() {
  return GetFileAttributesW(PathOf(L"script").c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> ScriptValue(std::string_view key) {
  std::optional<std::string> script;
  {
    Lock lock;
    script = ReadFile(PathOf(L"script"));
  }
  if (!script) return std::nullopt;
  std::optional<std::string> value;
  for (auto& [name, text] : ScriptPairs(*script)) {
    if (name == key) value = text;
  }
  return value;
}

long long ScriptNumber(std::string_view key, long long fallback) {
  std::optional<std::string> value = ScriptValue(key);
  if (!value || value->empty()) return fallback;
  return std::strtoll(value->c_str(), nullptr, 0);
}

HRESULT Failure(std::string_view step) {
  std::optional<std::string> value = ScriptValue("fail." + std::string(step));
  if (!value || value->empty()) return S_OK;
  return static_cast<HRESULT>(std::strtoul(value->c_str(), nullptr, 16));
}

void Hold(std::string_view step) {
  std::string key = "hold." + std::string(step);
  if (!ScriptValue(key)) return;
  {
    Lock lock;
    std::string script = ReadFile(PathOf(L"script")).value_or(std::string());
    std::optional<std::string> value;
    for (auto& [name, text] : ScriptPairs(script)) {
      if (name == key) value = text;
    }
    if (!value) return;
    long long left = std::strtoll(value->c_str(), nullptr, 0);
    if (left > 1) {
      std::string fewer = std::to_string(left - 1);
      WriteFile(PathOf(L"script"), Rewritten(script, key, &fewer));
      return;
    }
    WriteFile(PathOf(L"script"), Rewritten(script, key, nullptr));
  }
  SetEvent(HeldEvent());
  WaitForSingleObject(ReleaseEvent(), kHoldPatienceMs);
}

void Record(std::string_view line) {
  Lock lock;
  std::string record = ReadFile(PathOf(L"record")).value_or(std::string());
  record += Escape(line);
  record += '\n';
  WriteFile(PathOf(L"record"), record);
}

std::vector<VaultEntry> ReadVault() {
  std::vector<VaultEntry> entries;
  std::optional<std::string> text = ReadFile(PathOf(L"vault"));
  if (!text) return entries;
  for (std::string_view line : Lines(*text)) {
    size_t first = line.find('\t');
    size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos) continue;
    entries.push_back({Unescape(line.substr(0, first)),
                       Unescape(line.substr(first + 1, second - first - 1)),
                       Unescape(line.substr(second + 1))});
  }
  std::sort(entries.begin(), entries.end(), EntryOrder);
  return entries;
}

void WriteVault(std::vector<VaultEntry> entries) {
  std::sort(entries.begin(), entries.end(), EntryOrder);
  std::string text;
  for (const VaultEntry& entry : entries) {
    text += Escape(entry.resource) + '\t' + Escape(entry.user_name) + '\t' +
            Escape(entry.password) + '\n';
  }
  WriteFile(PathOf(L"vault"), text);
  SecureZeroMemory(text.data(), text.size());
}

std::string Escape(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string Unescape(std::string_view text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    char c = text[++i];
    plain += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return plain;
}

}  // namespace state

std::wstring StateFolder() {
  wchar_t data[MAX_PATH];
  DWORD size = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  std::wstring folder = size > 0 && size < MAX_PATH ? std::wstring(data, size) : L"C:\\ProgramData";
  folder += L"\\QuillmarRuntimeStandIn";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    Fail("creating the state folder");
  }
  return folder;
}

std::wstring DllBesideProgram() {
  wchar_t path[MAX_PATH];
  DWORD size = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring program(path, size);
  return program.substr(0, program.find_last_of(L"\\/") + 1) + kDllName;
}

void Register(const std::wstring& dll_path) {
  for (const wchar_t* name : kClasses) {
    HKEY key = nullptr;
    std::wstring path = std::wstring(kClassesKey) + name;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      Fail("registering a class");
    }
    // An in-process class (ActivationType 0), as the system's own are.
    DWORD in_process = 0;
    LSTATUS status =
        RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll_path.c_str()),
                       static_cast<DWORD>((dll_path.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(key, L"ActivationType", 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&in_process), sizeof in_process);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) Fail("registering a class");
  }
}

void Reset() {
  state::Lock lock;
  ResetEvent(HeldEvent());
  ResetEvent(ReleaseEvent());
  WriteFile(PathOf(L"script"), "");
  WriteFile(PathOf(L"record"), "");
  RemoveFile(PathOf(L"vault"));
}

void SwitchOff() {
  state::Lock lock;
  SetEvent(ReleaseEvent());
  RemoveFile(PathOf(L"script"));
  RemoveFile(PathOf(L"record"));
  RemoveFile(PathOf(L"vault"));
}

void Set(std::string_view key, std::string_view value) {
  state::Lock lock;
  std::string script = ReadFile(PathOf(L"script")).value_or(std::string());
  std::string text(value);
  WriteFile(PathOf(L"script"), Rewritten(script, key, &text));
}

std::vector<std::string> Recorded() {
  std::optional<std::string> record;
  {
    state::Lock lock;
    record = ReadFile(PathOf(L"record"));
  }
  std::vector<std::string> lines;
  if (record) {
    for (std::string_view line : Lines(*record)) lines.push_back(state::Unescape(line));
  }
  return lines;
}

std::vector<VaultEntry> VaultEntries() {
  state::Lock lock;
  return state::ReadVault();
}

void PutVaultEntry(const VaultEntry& entry) {
  state::Lock lock;
  std::vector<VaultEntry> entries = state::ReadVault();
  std::erase_if(entries, [&entry](const VaultEntry& old) {
    return old.resource == entry.resource && old.user_name == entry.user_name;
  });
  entries.push_back(entry);
  state::WriteVault(std::move(entries));
}

bool WaitUntilHeld(unsigned patience_ms) {
  return WaitForSingleObject(HeldEvent(), patience_ms) == WAIT_OBJECT_0;
}

void Release() { SetEvent(ReleaseEvent()); }

long LiveObjects() {
  HMODULE dll = GetModuleHandleW(kDllName);
  if (dll == nullptr) return 0;
  auto count = reinterpret_cast<long (*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, "QuillmarStandInLiveObjects")));
  return count == nullptr ? 0 : count();
}

}  // namespace quillmar::standin
