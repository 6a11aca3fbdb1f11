#include "platform/windows/winrt_support.h"

#include <mutex>
#include <string>

namespace quillmar::platform::windows {
namespace {

// The runtime's entry points in combase.dll, null where it has none.
struct Runtime {
  decltype(&RoGetActivationFactory) get_activation_factory = nullptr;
  decltype(&WindowsCreateStringReference) create_string_reference = nullptr;
  decltype(&WindowsDeleteString) delete_string = nullptr;
  decltype(&WindowsGetStringRawBuffer) get_string_raw_buffer = nullptr;
  decltype(&CoIncrementMTAUsage) increment_mta_usage = nullptr;

  bool available() const {
    return get_activation_factory != nullptr && create_string_reference != nullptr &&
           delete_string != nullptr && get_string_raw_buffer != nullptr;
  }
};

template <class Function>
void Find(HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Runtime& TheRuntime() {
  static const Runtime runtime = [] {
    Runtime found;
    HMODULE combase = LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (combase == nullptr) return found;
    Find(combase, "RoGetActivationFactory", &found.get_activation_factory);
    Find(combase, "WindowsCreateStringReference", &found.create_string_reference);
    Find(combase, "WindowsDeleteString", &found.delete_string);
    Find(combase, "WindowsGetStringRawBuffer", &found.get_string_raw_buffer);
    Find(combase, "CoIncrementMTAUsage", &found.increment_mta_usage);
    return found;
  }();
  return runtime;
}

const Runtime& AvailableRuntime() {
  const Runtime& runtime = TheRuntime();
  if (!runtime.available()) {
    throw PlatformError(kENotImpl,
                        PlatformString(u"This version of Windows has no Windows Runtime."));
  }
  return runtime;
}

// Threads of the host's that never initialised COM reach the runtime through
// the implicit multithreaded apartment, which exists only while someone
// holds it; the library holds it from its first activation on.
void KeepMultithreadedApartment(const Runtime& runtime) {
  static std::once_flag once;
  std::call_once(once, [&runtime] {
    CO_MTA_USAGE_COOKIE cookie = nullptr;
    if (runtime.increment_mta_usage != nullptr) runtime.increment_mta_usage(&cookie);
  });
}

}  // namespace

HStringReference::HStringReference(const PlatformString& text) {
  ThrowIfFailed(AvailableRuntime().create_string_reference(
      reinterpret_cast<const wchar_t*>(text.data()), static_cast<UINT32>(text.size()), &header_,
      &string_));
}

void HString::Delete(HSTRING string) {
  if (string != nullptr) TheRuntime().delete_string(string);
}

PlatformString ToPlatformString(HSTRING text) {
  if (text == nullptr) return PlatformString();
  UINT32 length = 0;
  const wchar_t* units = AvailableRuntime().get_string_raw_buffer(text, &length);
  return PlatformString(std::u16string_view(reinterpret_cast<const char16_t*>(units), length));
}

void GetFactory(const wchar_t* class_name, const IID& iid, void** factory) {
  const Runtime& runtime = AvailableRuntime();
  KeepMultithreadedApartment(runtime);
  PlatformString name(std::u16string_view(reinterpret_cast<const char16_t*>(class_name),
                                          std::char_traits<wchar_t>::length(class_name)));
  HStringReference class_id(name);
  HRESULT code = runtime.get_activation_factory(class_id.get(), iid, factory);
  if (SUCCEEDED(code)) return;
  PlatformError error = ErrorFromHResult(code);
  if (error.restricted_code() == code && !error.restricted_message().empty()) throw error;
  // Without the runtime's own words, say which class is missing.
  std::u16string message = u"The Windows Runtime class ";
  message += name.view();
  message += u" is not available";
  PlatformString reason = SystemMessageText(code);
  if (code == REGDB_E_CLASSNOTREG) {
    message += u": it is not registered on this system.";
  } else if (!reason.empty()) {
    message += u": ";
    message += reason.view();
  } else {
    message += u".";
  }
  throw PlatformError(code, PlatformString(message));
}

}  // namespace quillmar::platform::windows
