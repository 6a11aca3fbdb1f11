// The platform's byte buffer (IBuffer) is base's buffer that wipes itself;
// backends wipe other memory that held secrets with base's SecureWipe.
#pragma once

#include "base/secret_memory.h"

namespace quillmar::platform {

using base::Buffer;
using base::SecureWipe;

}  // namespace quillmar::platform
