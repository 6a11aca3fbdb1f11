#include "channel/diagnostics.h"

#include <cstdio>
#include <string>

namespace quillmar {

void ReportDiagnostic(std::string_view line) noexcept { ReportDiagnostic(line, {}); }

void ReportDiagnostic(std::string_view first, std::string_view second) noexcept {
  // One write per line keeps lines whole when threads report at once.
  try {
    std::string text;
    text.reserve(first.size() + second.size() + 1);
    text.append(first).append(second).push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
  } catch (...) {
    // Without memory for the line, its pieces go out one by one.
    std::fwrite(first.data(), 1, first.size(), stderr);
    std::fwrite(second.data(), 1, second.size(), stderr);
    std::fputc('\n', stderr);
  }
  std::fflush(stderr);
}

}  // namespace quillmar
