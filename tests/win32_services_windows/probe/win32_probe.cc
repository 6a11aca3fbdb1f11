// Another program on the same desktop, for the backends' tests: reads and
// writes credentials and the clipboard straight through Win32, the way a
// second process of the application (or any other program) sees them.
// Texts travel as hex of their UTF-16 code units or bytes, so that command
// lines and output stay ASCII. Prints "key value" lines.
#include <windows.h>
// wincred.h needs the types windows.h declares.
#include <wincred.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const void* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text.empty() ? "-" : text;
}

std::vector<unsigned char> Unhex(const char* text) {
  std::vector<unsigned char> bytes;
  if (std::strcmp(text, "-") == 0) return bytes;
  for (size_t i = 0; text[i] != '\0' && text[i + 1] != '\0'; i += 2) {
    unsigned value = 0;
    std::sscanf(text + i, "%2x", &value);
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return bytes;
}

// A UTF-16 text given as hex of its little-endian code units.
std::wstring WideFromHex(const char* text) {
  std::vector<unsigned char> bytes = Unhex(text);
  std::wstring wide(bytes.size() / 2, L'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  return wide;
}

void Print(const char* key, const std::string& value) {
  std::printf("%s %s\n", key, value.c_str());
}
void Print(const char* key, unsigned long value) { std::printf("%s %lu\n", key, value); }

int ReadCredential(const char* name_hex) {
  std::wstring name = WideFromHex(name_hex);
  CREDENTIALW* credential = nullptr;
  if (!CredReadW(name.c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
    Print("status", GetLastError());
    return 0;
  }
  Print("status", 0ul);
  Print("type", credential->Type);
  Print("persist", credential->Persist);
  Print("flags", credential->Flags);
  Print("blob", Hex(credential->CredentialBlob, credential->CredentialBlobSize));
  CredFree(credential);
  return 0;
}

int WriteCredential(const char* name_hex, const char* blob_hex) {
  std::wstring name = WideFromHex(name_hex);
  std::vector<unsigned char> blob = Unhex(blob_hex);
  CREDENTIALW credential{};
  credential.Type = CRED_TYPE_GENERIC;
  credential.TargetName = name.data();
  credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
  credential.CredentialBlob = blob.data();
  credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
  Print("status", CredWriteW(&credential, 0) ? 0ul : GetLastError());
  return 0;
}

int DeleteCredential(const char* name_hex) {
  std::wstring name = WideFromHex(name_hex);
  Print("status", CredDeleteW(name.c_str(), CRED_TYPE_GENERIC, 0) ? 0ul : GetLastError());
  return 0;
}

bool OpenClipboardPatiently(HWND window) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(window)) return true;
    Sleep(20);
  }
  return false;
}

// The clipboard's text and exclusion formats, each as hex or "none".
int ClipRead() {
  if (!OpenClipboardPatiently(nullptr)) {
    Print("open", GetLastError());
    return 1;
  }
  Print("open", 0ul);
  Print("owned", GetClipboardOwner() != nullptr ? 1ul : 0ul);
  const struct {
    const char* key;
    UINT format;
  } formats[] = {
      {"text", CF_UNICODETEXT},
      {"exclude", RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing")},
      {"history", RegisterClipboardFormatW(L"CanIncludeInClipboardHistory")},
      {"cloud", RegisterClipboardFormatW(L"CanUploadToCloudClipboard")},
  };
  for (const auto& format : formats) {
    HANDLE data = GetClipboardData(format.format);
    const void* bytes = data != nullptr ? GlobalLock(data) : nullptr;
    if (bytes == nullptr) {
      Print(format.key, "none");
      continue;
    }
    size_t size = GlobalSize(data);
    if (format.format == CF_UNICODETEXT) {
      size = wcsnlen(static_cast<const wchar_t*>(bytes), size / 2) * 2;
    }
    Print(format.key, Hex(bytes, size));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return 0;
}

// Places text as an ordinary program does, replacing what is there.
int ClipSet(const char* text_hex) {
  std::wstring text = WideFromHex(text_hex);
  if (!OpenClipboardPatiently(nullptr)) {
    Print("status", GetLastError());
    return 1;
  }
  EmptyClipboard();
  size_t size = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(memory), text.c_str(), size);
  GlobalUnlock(memory);
  Print("status", SetClipboardData(CF_UNICODETEXT, memory) != nullptr ? 0ul : GetLastError());
  CloseClipboard();
  return 0;
}

// Places a format that is not text, as an image would.
int ClipSetOther() {
  if (!OpenClipboardPatiently(nullptr)) {
    Print("status", GetLastError());
    return 1;
  }
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memset(GlobalLock(memory), 0x5A, 4);
  GlobalUnlock(memory);
  UINT format = RegisterClipboardFormatW(L"QuillmarTestPicture");
  Print("status", SetClipboardData(format, memory) != nullptr ? 0ul : GetLastError());
  CloseClipboard();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  int result = 2;
  if (command == "cred-read" && argc == 3) result = ReadCredential(argv[2]);
  if (command == "cred-write" && argc == 4) result = WriteCredential(argv[2], argv[3]);
  if (command == "cred-delete" && argc == 3) result = DeleteCredential(argv[2]);
  if (command == "clip-read" && argc == 2) result = ClipRead();
  if (command == "clip-set" && argc == 3) result = ClipSet(argv[2]);
  if (command == "clip-set-other" && argc == 2) result = ClipSetOther();
  if (command == "code-page" && argc == 2) {
    Print("acp", GetACP());
    result = 0;
  }
  if (result == 2) std::fprintf(stderr, "usage: win32_probe cred-read|cred-write|... hex...\n");
  std::fflush(stdout);
  return result;
}
