// kResourceName: the resource name of the vault entries and the prefix of
// the legacy credentials' target names.
#pragma once

#include "platform/platform_string.h"

namespace quillmar {

extern const platform::PlatformString kResourceName;

}  // namespace quillmar
