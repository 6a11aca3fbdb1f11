// Restricted error information comes from combase.dll, which Windows 7 does
// not have: it is looked up at run time so that the DLL loads there too.
#include "platform/windows/windows_error.h"

#include <oleauto.h>
#include <unknwn.h>

#include <string>

namespace quillmar::platform::windows {
namespace {

// Declared here: mingw-w64's headers have no restrictederrorinfo.h.
// IID 82ba7092-4c88-427d-a7bc-16dd93feb67e; member order as in the published metadata.
struct IRestrictedErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error,
                                                    BSTR* restricted_description,
                                                    BSTR* capability_sid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) = 0;
};

using GetRestrictedErrorInfoFunction = HRESULT(WINAPI*)(IRestrictedErrorInfo**);

GetRestrictedErrorInfoFunction FindGetRestrictedErrorInfo() {
  static const GetRestrictedErrorInfoFunction function = [] {
    HMODULE combase = LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (combase == nullptr) return GetRestrictedErrorInfoFunction{nullptr};
    return reinterpret_cast<GetRestrictedErrorInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(combase, "GetRestrictedErrorInfo")));
  }();
  return function;
}

PlatformString TextOf(BSTR text) {
  if (text == nullptr) return PlatformString();
  return PlatformString(
      std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

}  // namespace

PlatformError ErrorFromHResult(HRESULT code) {
  GetRestrictedErrorInfoFunction get_info = FindGetRestrictedErrorInfo();
  IRestrictedErrorInfo* info = nullptr;
  if (get_info == nullptr || get_info(&info) != S_OK || info == nullptr) {
    return PlatformError(code);
  }
  BSTR description = nullptr;
  BSTR restricted_description = nullptr;
  BSTR capability_sid = nullptr;
  HRESULT recorded = S_OK;
  HRESULT details =
      info->GetErrorDetails(&description, &recorded, &restricted_description, &capability_sid);
  info->Release();
  if (FAILED(details)) return PlatformError(code);
  PlatformString message = SysStringLen(restricted_description) != 0
                               ? TextOf(restricted_description)
                               : TextOf(description);
  SysFreeString(description);
  SysFreeString(restricted_description);
  SysFreeString(capability_sid);
  return PlatformError(code, recorded, std::move(message));
}

PlatformError LastWin32Error() {
  DWORD status = GetLastError();
  return PlatformError(status == 0 ? kEFail : HResultFromWin32(status));
}

}  // namespace quillmar::platform::windows
