// Other programs run from the tests: xclip, as any other X client, and the
// command-line host.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace quillmar::testing {

struct CommandResult {
  int exit_code = -1;  // -1 when it was killed or could not start
  std::string out;
  std::string err;
};

// Runs `argv` with `input` on its standard input and waits for it, killing
// it after `timeout`.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = "",
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

// True when `name` is an executable on PATH.
bool OnPath(const std::string& name);

// A program left running: its standard input gets `input` and is closed,
// its standard output can be read line by line. Stop ends it by its pid.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& input);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of its output, without the line end; empty after `timeout`.
  std::string ReadLine(std::chrono::milliseconds timeout);
  // Waits up to `timeout` for it to exit by itself; true when it did.
  bool WaitForExit(std::chrono::milliseconds timeout);
  void Stop();
  // Ends it at once with SIGKILL, wherever it is, and waits for it.
  void Kill();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  bool exited_ = false;
  std::string pending_;
};

}  // namespace quillmar::testing
