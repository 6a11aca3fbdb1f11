// Captures what the process writes to standard error while it lives.
#pragma once

#include <string>
#include <vector>

namespace quillmar::testing {

class CaptureStderr {
 public:
  CaptureStderr();
  ~CaptureStderr();
  CaptureStderr(const CaptureStderr&) = delete;
  CaptureStderr& operator=(const CaptureStderr&) = delete;

  // Everything written so far, and the same split into lines.
  std::string Text();
  std::vector<std::string> Lines();

 private:
  int saved_fd_;
  int capture_fd_;
};

}  // namespace quillmar::testing

namespace quillmar {
using testing::CaptureStderr;
}  // namespace quillmar
