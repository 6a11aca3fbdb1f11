// Declarations of the Windows SDK and the UCRT that the STL's
// filesystem.cpp and regex.cpp use and Wine 8's headers lack, as Microsoft
// documents them; forced into those files alone.
#pragma once
#include <windows.h>

typedef struct _FILE_ID_INFO {
  ULONGLONG VolumeSerialNumber;
  struct {
    BYTE Identifier[16];
  } FileId;
} FILE_ID_INFO;

typedef struct _FILE_DISPOSITION_INFO_EX {
  DWORD Flags;
} FILE_DISPOSITION_INFO_EX;
#define FILE_DISPOSITION_FLAG_DELETE 0x00000001
#define FILE_DISPOSITION_FLAG_POSIX_SEMANTICS 0x00000002
#define FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000010

#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2

typedef struct _CREATEFILE2_EXTENDED_PARAMETERS {
  DWORD dwSize;
  DWORD dwFileAttributes;
  DWORD dwFileFlags;
  DWORD dwSecurityQosFlags;
  LPSECURITY_ATTRIBUTES lpSecurityAttributes;
  HANDLE hTemplateFile;
} CREATEFILE2_EXTENDED_PARAMETERS;
extern "C" __declspec(dllimport) HANDLE WINAPI
    CreateFile2(LPCWSTR file_name, DWORD desired_access, DWORD share_mode,
                DWORD creation_disposition, CREATEFILE2_EXTENDED_PARAMETERS* parameters);
extern "C" __declspec(dllimport) DWORD WINAPI GetTempPath2W(DWORD length, LPWSTR buffer);

extern "C" __declspec(dllimport) unsigned int __cdecl ___lc_codepage_func(void);
extern "C" __declspec(dllimport) unsigned int __cdecl ___lc_collate_cp_func(void);
extern "C" __declspec(dllimport) wchar_t** __cdecl ___lc_locale_name_func(void);

// Wine 8's kernel32.dll has no CopyFile2 (Windows 8 and later do): a module
// importing it would not load here, so copy_file finds it at run time and
// is refused as the system refuses a call it lacks.
static HRESULT WINAPI quillmar_copy_file2(PCWSTR from, PCWSTR to,
                                          COPYFILE2_EXTENDED_PARAMETERS* parameters) {
  using CopyFile2Function = HRESULT(WINAPI*)(PCWSTR, PCWSTR, COPYFILE2_EXTENDED_PARAMETERS*);
  const auto copy_file2 = reinterpret_cast<CopyFile2Function>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CopyFile2"));
  if (copy_file2 == nullptr) return HRESULT_FROM_WIN32(ERROR_CALL_NOT_IMPLEMENTED);
  return copy_file2(from, to, parameters);
}
#define CopyFile2 quillmar_copy_file2
