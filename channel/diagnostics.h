// Diagnostic lines of the channel layer: one line each on standard error.
#pragma once

#include <string_view>

namespace quillmar {

// Writes `line` and a line end to standard error; never throws.
void ReportDiagnostic(std::string_view line) noexcept;
// Writes `first` and `second` as one line; never throws, also when memory
// is exhausted.
void ReportDiagnostic(std::string_view first, std::string_view second) noexcept;

}  // namespace quillmar
