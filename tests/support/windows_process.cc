#if defined(_WIN32)
#include "tests/support/windows_process.h"

#include <windows.h>

#include <filesystem>
#include <thread>

namespace quillmar::testing {
namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Quotes one argument so that CommandLineToArgvW and the C runtime read it
// back unchanged.
std::wstring Quote(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

// Moves what `pipe` holds now into `out`, without waiting for more.
void TakeAvailable(HANDLE pipe, std::string* out) {
  char buffer[4096];
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    DWORD count = 0;
    if (!ReadFile(pipe, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &count,
                  nullptr) ||
        count == 0) {
      return;
    }
    out->append(buffer, count);
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input) {
  ProgramRun run;
  std::wstring command_line = Quote(Widen(program));
  for (const std::string& argument : arguments) command_line += L" " + Quote(Widen(argument));

  // Each pipe's far end is inherited by the child; ours is not.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input_read = nullptr, input_write = nullptr;
  HANDLE output_read = nullptr, output_write = nullptr;
  HANDLE error_read = nullptr, error_write = nullptr;
  if (!CreatePipe(&input_read, &input_write, &inheritable, 0) ||
      !CreatePipe(&output_read, &output_write, &inheritable, 0) ||
      !CreatePipe(&error_read, &error_write, &inheritable, 0)) {
    return run;
  }
  SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(error_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input_read;
  startup.hStdOutput = output_write;
  startup.hStdError = error_write;
  PROCESS_INFORMATION process{};
  BOOL created = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(input_read);
  CloseHandle(output_write);
  CloseHandle(error_write);
  if (!created) {
    CloseHandle(input_write);
    CloseHandle(output_read);
    CloseHandle(error_read);
    return run;
  }
  run.started = true;
  std::thread writer([input_write, &input] {
    DWORD written = 0;
    if (!input.empty()) {
      WriteFile(input_write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    CloseHandle(input_write);
  });
  // Both streams are read until the program has ended rather than until
  // their pipes close: a process Wine starts on the program's behalf (a
  // system service) may inherit the pipes and keep them open.
  for (;;) {
    TakeAvailable(output_read, &run.output);
    TakeAvailable(error_read, &run.error_output);
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
  }
  TakeAvailable(output_read, &run.output);
  TakeAvailable(error_read, &run.error_output);
  CloseHandle(output_read);
  CloseHandle(error_read);
  writer.join();
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

std::string WithoutCarriageReturns(std::string text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines.push_back(text[i]);
  }
  return lines;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string ThisProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::wstring(path, length)).parent_path().string();
}

}  // namespace quillmar::testing
#endif  // _WIN32
