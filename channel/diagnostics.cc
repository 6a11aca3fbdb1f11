#include "channel/diagnostics.h"

#include <cstdio>
#include <string>

namespace quillmar {

void ReportDiagnostic(std::string_view line) noexcept {
  // One write per line keeps lines whole when threads report at once.
  try {
    std::string text(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  } catch (...) {
  }
}

}  // namespace quillmar
