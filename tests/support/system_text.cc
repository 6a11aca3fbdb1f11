#include "tests/support/system_text.h"

#include "common/text.h"

namespace quillmar::testing {

std::string SystemText([[maybe_unused]] platform::HResult code,
                       [[maybe_unused]] const char* windows_wording) {
#if defined(_WIN32)
  return WideToUtf8(platform::SystemMessageText(code));
#else
  return windows_wording;
#endif
}

}  // namespace quillmar::testing
