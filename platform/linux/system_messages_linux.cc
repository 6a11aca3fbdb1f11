// The system's texts for the codes this library meets, worded as Windows
// words them, so replies read the same on every system.
#include <cstdint>
#include <map>

#include "platform/platform_error.h"

namespace quillmar::platform {

PlatformString SystemMessageText(HResult code) {
  static const auto* texts = new std::map<uint32_t, const char16_t*>{
      {0x80004001, u"Not implemented"},
      {0x80004002, u"No such interface supported"},
      {0x80004005, u"Unspecified error"},
      {0x8000000B, u"The operation attempted to access data outside the valid range"},
      {0x8000000E, u"A method was called at an unexpected time."},
      {0x8000FFFF, u"Catastrophic failure"},
      {0x80070002, u"The system cannot find the file specified."},
      {0x80070005, u"Access is denied."},
      {0x8007000E, u"Not enough memory resources are available to complete this operation."},
      {0x80070015, u"The device is not ready."},
      {0x80070032, u"The request is not supported."},
      {0x80070057, u"The parameter is incorrect."},
      {0x8007007A, u"The data area passed to a system call is too small."},
      {0x80070459,
       u"No mapping for the Unicode character exists in the target multi-byte code page."},
      {0x80070490, u"Element not found."},
      {0x800704C7, u"The operation was canceled by the user."},
      {0x80070520,
       u"A specified logon session does not exist. It may already have been terminated."},
      {0x800706BA, u"The RPC server is unavailable."},
      {0x80090005, u"Bad Data."},
      {0x80090027, u"The parameter is incorrect."},
      {0x80090029, u"The requested operation is not supported."},
  };
  auto entry = texts->find(static_cast<uint32_t>(code));
  return entry == texts->end() ? PlatformString() : PlatformString(entry->second);
}

}  // namespace quillmar::platform
