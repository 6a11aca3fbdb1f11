// The system's message text for a code, as tests expect it in replies.
#pragma once

#include <string>

#include "platform/platform_error.h"

namespace quillmar::testing {

// `windows_wording` (Windows' own text, which the Linux backend repeats); in
// the Windows build the text of the system the test runs on, since Wine
// words many texts its own way.
std::string SystemText(platform::HResult code, const char* windows_wording);

}  // namespace quillmar::testing
