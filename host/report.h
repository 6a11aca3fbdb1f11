// Loud reports of the host stand-in: one line each on standard error.
#pragma once

#include <string_view>

namespace quillmar::host {

// Writes "quillmar-host: ", `line` and a line end in one write.
void ReportHostProblem(std::string_view line) noexcept;

}  // namespace quillmar::host
