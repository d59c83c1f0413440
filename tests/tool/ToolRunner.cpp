#include "ToolRunner.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace tool_tests {
namespace {

[[noreturn]] void RunChild(const std::vector<std::string>& args, const ToolOptions& options,
                           int outPipe, int errPipe) {
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

// Reads the pipe to its end and closes it.
std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  close(fd);
  return text;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    close(err[0]);
    RunChild(args, options, out[1], err[1]);
  }
  close(out[1]);
  close(err[1]);
  ToolResult result;
  std::thread errReader([&] { result.err = ReadToEnd(err[0]); });  // neither pipe may fill up
  result.out = ReadToEnd(out[0]);
  errReader.join();
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string Gbk(const std::string& utf8) {
  iconv_t converter = iconv_open("GBK", "UTF-8");
  std::string out(utf8.size() * 2, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* next = &out[0];
  std::size_t inLeft = utf8.size();
  std::size_t outLeft = out.size();
  const std::size_t status = iconv(converter, &in, &inLeft, &next, &outLeft);
  iconv_close(converter);
  if (status == static_cast<std::size_t>(-1)) throw std::runtime_error("not GBK: " + utf8);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace tool_tests
