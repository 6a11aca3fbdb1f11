#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace quillmar::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      read = fds[0];
      write = fds[1];
    }
  }
};

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Starts `argv` with the given ends as its standard streams (-1: /dev/null).
pid_t Spawn(const std::vector<std::string>& argv, int in, int out, int err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int targets[3] = {in, out, err};
  for (int stream = 0; stream < 3; ++stream) {
    if (targets[stream] >= 0) {
      posix_spawn_file_actions_adddup2(&actions, targets[stream], stream);
    } else {
      posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_RDWR, 0);
    }
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input,
                         std::chrono::milliseconds timeout) {
  CommandResult result;
  Pipe in, out, err;
  pid_t pid = Spawn(argv, in.read, out.write, err.write);
  CloseFd(&in.read);
  CloseFd(&out.write);
  CloseFd(&err.write);
  if (pid < 0) {
    CloseFd(&in.write);
    CloseFd(&out.read);
    CloseFd(&err.read);
    return result;
  }
  fcntl(in.write, F_SETFL, O_NONBLOCK);
  size_t written = 0;
  if (input.empty()) CloseFd(&in.write);
  Clock::time_point deadline = Clock::now() + timeout;
  while ((out.read >= 0 || err.read >= 0) && Clock::now() < deadline) {
    pollfd fds[3] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}};
    if (poll(fds, 3, MillisecondsUntil(deadline)) <= 0) continue;
    if (fds[2].revents != 0) {
      ssize_t n = write(in.write, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == input.size()) CloseFd(&in.write);
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      char chunk[65536];
      ssize_t n = read(fds[i].fd, chunk, sizeof(chunk));
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(n));
      } else {
        CloseFd(i == 0 ? &out.read : &err.read);
      }
    }
  }
  CloseFd(&in.write);
  CloseFd(&out.read);
  CloseFd(&err.read);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      // Still running past its time: end it.
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.exit_code = ExitCodeOf(status);
  return result;
}

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string paths = path;
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    std::string candidate = paths.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& input) {
  Pipe in, out;
  pid_ = Spawn(argv, in.read, out.write, -1);
  CloseFd(&in.read);
  CloseFd(&out.write);
  out_fd_ = out.read;
  size_t written = 0;
  while (pid_ >= 0 && written < input.size()) {
    ssize_t n = write(in.write, input.data() + written, input.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  CloseFd(&in.write);
}

ChildProcess::~ChildProcess() {
  Stop();
  CloseFd(&out_fd_);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    pollfd fd{out_fd_, POLLIN, 0};
    if (out_fd_ < 0 || poll(&fd, 1, MillisecondsUntil(deadline)) <= 0) return "";
    char chunk[4096];
    ssize_t n = read(out_fd_, chunk, sizeof(chunk));
    if (n <= 0) return "";
    pending_.append(chunk, static_cast<size_t>(n));
  }
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  while (pid_ >= 0 && !exited_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      break;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return exited_;
}

void ChildProcess::Stop() {
  if (pid_ < 0 || exited_) return;
  kill(pid_, SIGTERM);
  if (!WaitForExit(std::chrono::seconds(5))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    exited_ = true;
  }
}

void ChildProcess::Kill() {
  if (pid_ < 0 || exited_) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  exited_ = true;
}

}  // namespace quillmar::testing
