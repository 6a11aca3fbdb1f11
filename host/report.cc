#include "host/report.h"

#include <cstdio>
#include <string>

namespace quillmar::host {

void ReportHostProblem(std::string_view line) noexcept {
  try {
    std::string text = "quillmar-host: ";
    text.append(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  } catch (...) {
  }
}

}  // namespace quillmar::host
