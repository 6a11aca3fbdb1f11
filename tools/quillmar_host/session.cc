#include "tools/quillmar_host/session.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <climits>
#include <filesystem>

#include "base/protocol.h"

namespace quillmar::cli {

int ClipboardSecondsToLive(const EncodableValue& arguments) {
  const auto* map = arguments.GetIf<EncodableMap>();
  if (map == nullptr) return base::kDefaultClipboardSecondsToLive;
  auto found = map->find(EncodableValue("secondsToLive"));
  if (found == map->end()) return base::kDefaultClipboardSecondsToLive;
  const auto* seconds = found->second.GetIf<int32_t>();
  return seconds != nullptr ? *seconds : 0;
}

#if defined(_WIN32)
std::string DefaultPluginPath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::filesystem::path program = length > 0 && length < MAX_PATH
                                      ? std::filesystem::path(std::wstring(path, length))
                                      : std::filesystem::path(L"quillmar-host.exe");
  return (program.parent_path() / QUILLMAR_DEFAULT_PLUGIN).string();
}

host::RegisterFunction LoadPlugin(const std::string& path) {
  // Never freed: the library's pool threads may still run at exit.
  HMODULE library = LoadLibraryW(std::filesystem::path(path).c_str());
  if (library == nullptr) {
    std::fprintf(stderr, "quillmar-host: cannot load the plug-in %s: error %lu\n", path.c_str(),
                 GetLastError());
    return nullptr;
  }
  FARPROC symbol = GetProcAddress(library, "QuillmarCoreWindowsRegisterWithRegistrar");
  if (symbol == nullptr) {
    std::fprintf(stderr, "quillmar-host: %s has no QuillmarCoreWindowsRegisterWithRegistrar\n",
                 path.c_str());
    return nullptr;
  }
  return reinterpret_cast<host::RegisterFunction>(reinterpret_cast<void*>(symbol));
}
#else
std::string DefaultPluginPath() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  std::filesystem::path program =
      length > 0 ? std::filesystem::path(std::string(path, static_cast<size_t>(length)))
                 : std::filesystem::path("quillmar-host");
  return (program.parent_path().parent_path() / "lib" / QUILLMAR_DEFAULT_PLUGIN).string();
}

host::RegisterFunction LoadPlugin(const std::string& path) {
  // Never closed: the library's pool threads may still run at exit.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "quillmar-host: cannot load the plug-in: %s\n", dlerror());
    return nullptr;
  }
  void* symbol = dlsym(library, "QuillmarCoreWindowsRegisterWithRegistrar");
  if (symbol == nullptr) {
    std::fprintf(stderr, "quillmar-host: %s has no QuillmarCoreWindowsRegisterWithRegistrar\n",
                 path.c_str());
    return nullptr;
  }
  return reinterpret_cast<host::RegisterFunction>(symbol);
}
#endif

bool ReadSecretText(std::istream& input, base::SecretString* text, int end) {
  text->clear();
  std::streambuf* buffer = input.rdbuf();
  for (;;) {
    int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      input.setstate(std::ios::eofbit);
      return !text->empty();
    }
    if (c == end) return true;
    text->push_back(static_cast<char>(c));
  }
}

void LineOutput::Write(std::string_view line) {
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

}  // namespace quillmar::cli
