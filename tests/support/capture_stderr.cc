#include "tests/support/capture_stderr.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillmar::testing {
namespace {

#if defined(_WIN32)
constexpr int kStderr = 2;
int OpenCapture() { return _fileno(std::tmpfile()); }
int Dup(int fd) { return _dup(fd); }
int Dup2(int from, int to) { return _dup2(from, to); }
void Close(int fd) { _close(fd); }
long long ReadAt(int fd, char* buffer, unsigned size, long long offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return _read(fd, buffer, size);
}
#else
constexpr int kStderr = STDERR_FILENO;
int OpenCapture() {
  char path[] = "/tmp/quillmar-stderr-XXXXXX";
  int fd = mkstemp(path);
  unlink(path);
  return fd;
}
int Dup(int fd) { return dup(fd); }
int Dup2(int from, int to) { return dup2(from, to); }
void Close(int fd) { close(fd); }
long long ReadAt(int fd, char* buffer, unsigned size, long long offset) {
  return pread(fd, buffer, size, static_cast<off_t>(offset));
}
#endif

}  // namespace

CaptureStderr::CaptureStderr() {
  std::fflush(stderr);
  capture_fd_ = OpenCapture();
  saved_fd_ = Dup(kStderr);
  Dup2(capture_fd_, kStderr);
}

CaptureStderr::~CaptureStderr() {
  std::fflush(stderr);
  Dup2(saved_fd_, kStderr);
  Close(saved_fd_);
  Close(capture_fd_);
}

std::string CaptureStderr::Text() {
  std::fflush(stderr);
  std::string text;
  char buffer[4096];
  long long offset = 0;
  long long count;
  while ((count = ReadAt(capture_fd_, buffer, sizeof(buffer), offset)) > 0) {
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
    size_t line_end = end;
    // Windows' C runtime writes text-mode line ends as CR LF.
    if (line_end > start && text[line_end - 1] == '\r') --line_end;
    lines.push_back(text.substr(start, line_end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace quillmar::testing
