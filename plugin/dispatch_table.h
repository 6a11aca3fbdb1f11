// The method names the channel serves, in the order they are compared.
#pragma once

#include <array>
#include <string_view>

#include "plugin/handler.h"

namespace quillmar {

struct DispatchEntry {
  std::string_view method_name;
  MethodHandler handler;
  bool receives_arguments;
};

extern const std::array<DispatchEntry, 20> kDispatchTable;

}  // namespace quillmar
