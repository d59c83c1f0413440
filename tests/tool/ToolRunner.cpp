// SPDX-License-Identifier: MIT
#include "ToolRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace tool_tests {
namespace {

[[noreturn]] void RunChild(const std::vector<std::string>& args, const ToolOptions& options,
                           int outPipe, int errPipe) {
  if (!options.inputFile.empty()) {
    const int input = open(options.inputFile.c_str(), O_RDONLY);
    if (input < 0) _exit(126);
    dup2(input, STDIN_FILENO);
  }
  if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
  dup2(outPipe, STDOUT_FILENO);
  dup2(errPipe, STDERR_FILENO);
  setenv("LC_ALL", options.locale.c_str(), 1);
  for (const auto& setting : options.environment) putenv(const_cast<char*>(setting.c_str()));
  if (options.fileSizeLimit >= 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit then fails with EFBIG
    const rlim_t limit = static_cast<rlim_t>(options.fileSizeLimit);
    const struct rlimit size = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
  }
  std::vector<char*> argv{const_cast<char*>(DEZOV_TOOL)};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(DEZOV_TOOL, argv.data());
  _exit(127);
}

// Starts the tool with its stdout and stderr on pipes; their reading ends go
// to out and err.
pid_t Start(const std::vector<std::string>& args, const ToolOptions& options, int& out, int& err) {
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    RunChild(args, options, outPipe[1], errPipe[1]);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  out = outPipe[0];
  err = errPipe[0];
  return child;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Appends what the pipe holds (up to its end when it blocks) to text.
void ReadAll(int fd, std::string& text) {
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
  int out = -1, err = -1;
  const pid_t child = Start(args, options, out, err);
  ToolResult result;
  std::thread errReader([&] { ReadAll(err, result.err); });  // neither pipe may fill up
  ReadAll(out, result.out);
  errReader.join();
  close(out);
  close(err);
  int status = 0;
  waitpid(child, &status, 0);
  result.status = ExitStatus(status);
  return result;
}

RunningTool::RunningTool(const std::vector<std::string>& args) {
  pid_ = Start(args, ToolOptions(), out_, err_);
  fcntl(err_, F_SETFL, fcntl(err_, F_GETFL) | O_NONBLOCK);
}

RunningTool::~RunningTool() {
  if (pid_ > 0) Stop(SIGKILL);
  close(out_);
  close(err_);
}

bool RunningTool::ReadLine(std::string& line, int timeoutMs) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          giveUp - std::chrono::steady_clock::now()).count();
    struct pollfd ready = {out_, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(out_, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

int RunningTool::Stop(int signal) {
  kill(pid_, signal);
  int status = 0;
  pid_t done = 0;
  for (int tries = 0; tries < 200 && (done = waitpid(pid_, &status, WNOHANG)) == 0; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (done != pid_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  const bool ended = done == pid_;
  pid_ = -1;
  return ended ? ExitStatus(status) : -1;
}

std::string RunningTool::Errors() {
  ReadAll(err_, errors_);
  return errors_;
}

}  // namespace tool_tests
