#include "plugin/resource_name.h"

namespace quillmar {

const platform::PlatformString kResourceName(u"Quillmar");

}  // namespace quillmar
