#include "platform/fake/fake_system_version.h"
