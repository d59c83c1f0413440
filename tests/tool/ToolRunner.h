// SPDX-License-Identifier: MIT
// Runs the built dezov program in a child process and collects what it did.
#ifndef DEZOV20_TESTS_TOOL_TOOL_RUNNER_H
#define DEZOV20_TESTS_TOOL_TOOL_RUNNER_H

#include <string>
#include <vector>

namespace tool_tests {

struct ToolResult {
  int status = -1;  // exit status; 128 + signal number when the program died
  std::string out;
  std::string err;
};

struct ToolOptions {
  std::string locale = "C.UTF-8";  // LC_ALL of the child
  long fileSizeLimit = -1;       // RLIMIT_FSIZE in bytes for the child; -1: none
  std::vector<std::string> environment;  // more "NAME=VALUE" settings for the child
  std::string inputFile;                  // file the child reads as standard input; "": none
  std::string workDir;                    // the child's working directory; "": this one
};

// Runs dezov with args (without the program name).
ToolResult RunTool(const std::vector<std::string>& args, const ToolOptions& options = {});

// dezov running in the background, its output read line by line. The
// destructor kills it if it still runs.
class RunningTool {
 public:
  explicit RunningTool(const std::vector<std::string>& args);
  RunningTool(const RunningTool&) = delete;
  RunningTool& operator=(const RunningTool&) = delete;
  ~RunningTool();
  // The next line of its stdout (without the line feed); false when none came within timeoutMs.
  bool ReadLine(std::string& line, int timeoutMs);
  // Sends signal and returns the exit status (128 + signal when it died of one);
  // -1 when it did not end within 2 s (it is killed then).
  int Stop(int signal);
  // Everything it wrote to stderr so far.
  std::string Errors();

 private:
  int pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string pending_;
  std::string errors_;
};

}  // namespace tool_tests

#endif  // DEZOV20_TESTS_TOOL_TOOL_RUNNER_H
