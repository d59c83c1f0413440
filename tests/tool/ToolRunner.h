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
};

// Runs dezov with args (without the program name).
ToolResult RunTool(const std::vector<std::string>& args, const ToolOptions& options = {});

// text (UTF-8) as GBK bytes, for comparing with file contents.
std::string Gbk(const std::string& utf8);

}  // namespace tool_tests

#endif  // DEZOV20_TESTS_TOOL_TOOL_RUNNER_H
