// Sessions with the tool, one file each under tests/tool/sessions: commands run
// in order in a private working directory, each must exit and print as written.
//   files: NAME...    copies these files of examples/ into the directory
//   $ ARGS            exits 0 and says nothing on stderr
//   ! STATUS ARGS     exits STATUS and says why on stderr
//     TEXT            (two spaces in front) a line the command above prints
// Any other line is a comment. ARGS are split at spaces; "" is an empty
// argument, "a b" one with a space in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "tool/ToolRunner.h"

namespace tool_tests {
namespace {

using testing_support::ReadBytes;
using testing_support::SourceFile;

std::vector<std::string> SplitArgs(const std::string& text) {
  std::vector<std::string> args;
  for (std::size_t at = 0; at < text.size();) {
    const bool quoted = text[at] == '"';
    const std::size_t end = quoted ? text.find('"', at + 1) : text.find(' ', at);
    if (end != at) args.push_back(text.substr(at + quoted, end - at - quoted));
    at = end == std::string::npos ? end : end + 1 + quoted;
  }
  return args;
}

struct Step {
  int line = 0;
  int status = 0;
  std::vector<std::string> args;
  std::string out;
};

TEST(ToolSessions, EveryCommandExitsAndPrintsAsWritten) {
  int sessions = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SourceFile("tests/tool/sessions"))) {
    if (entry.path().extension() != ".session") continue;
    ++sessions;
    testing_support::TempDir dir;
    std::vector<Step> steps;
    std::istringstream lines(ReadBytes(entry.path().string()));
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
      ++number;
      if (line.rfind("files: ", 0) == 0) {
        for (const auto& name : SplitArgs(line.substr(7)))
          testing_support::WriteBytes(dir.File(name), ReadBytes(SourceFile("examples/" + name)));
      } else if (line.rfind("$ ", 0) == 0) {
        steps.push_back({number, 0, SplitArgs(line.substr(2)), ""});
      } else if (line.rfind("! ", 0) == 0) {
        const std::size_t space = line.find(' ', 2);
        const std::string args = space == std::string::npos ? "" : line.substr(space + 1);
        steps.push_back({number, std::stoi(line.substr(2)), SplitArgs(args), ""});
      } else if (line.rfind("  ", 0) == 0 && !steps.empty()) {
        steps.back().out += line.substr(2) + "\n";
      }
    }
    ToolOptions options;
    options.workDir = dir.path();
    for (const Step& step : steps) {
      SCOPED_TRACE(entry.path().filename().string() + ":" + std::to_string(step.line));
      const ToolResult result = RunTool(step.args, options);
      EXPECT_EQ(result.status, step.status) << result.err;
      EXPECT_EQ(result.out, step.out);
      EXPECT_EQ(result.err.empty(), step.status == 0) << result.err;
    }
  }
  EXPECT_GE(sessions, 3);
}

}  // namespace
}  // namespace tool_tests
