#include "tests/support/capture_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace quillmar::testing {

CaptureStderr::CaptureStderr() {
  std::fflush(stderr);
  char path[] = "/tmp/quillmar-stderr-XXXXXX";
  capture_fd_ = mkstemp(path);
  unlink(path);
  saved_fd_ = dup(STDERR_FILENO);
  dup2(capture_fd_, STDERR_FILENO);
}

CaptureStderr::~CaptureStderr() {
  std::fflush(stderr);
  dup2(saved_fd_, STDERR_FILENO);
  close(saved_fd_);
  close(capture_fd_);
}

std::string CaptureStderr::Text() {
  std::fflush(stderr);
  std::string text;
  char buffer[4096];
  off_t offset = 0;
  ssize_t count;
  while ((count = pread(capture_fd_, buffer, sizeof(buffer), offset)) > 0) {
    text.append(buffer, static_cast<size_t>(count));
    offset += count;
  }
  return text;
}

std::vector<std::string> CaptureStderr::Lines() {
  std::vector<std::string> lines;
  std::string text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace quillmar::testing
