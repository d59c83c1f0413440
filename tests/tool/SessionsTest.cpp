// SPDX-License-Identifier: MIT
// Sessions with the tool, one file each under tests/tool/sessions: commands run
// in order in a private working directory, each must exit and print as written.
//   files: NAME...    copies these files of examples/ (or of sessions/files/)
//                     into the directory
//   $ ARGS            exits 0 and says nothing on stderr
//   ! STATUS ARGS     exits STATUS and says why on stderr
//     TEXT            (two spaces in front) a line the command above prints
//   2> TEXT           the command above says TEXT (among more) on stderr
// Any other line is a comment. ARGS are split at spaces; "" is an empty
// argument, "a b" one with a space in it. Then the manual page: it documents
// what the live help lists, every group in a subsection of its own, and there
// every command and every option; and every usage line shows the arguments of
// the groups above the command.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "tool/ToolRunner.h"

namespace tool_tests {
namespace {

using namespace testing_support;

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
  std::vector<std::string> err;  // texts stderr holds
};

// examples/name, or the session fixture of that name.
std::string FixtureFile(const std::string& name) {
  const std::string example = SourceFile("examples/" + name);
  return std::filesystem::exists(example) ? example : SourceFile("tests/tool/sessions/files/" + name);
}

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
          testing_support::WriteBytes(dir.File(name), ReadBytes(FixtureFile(name)));
      } else if (line.rfind("$ ", 0) == 0) {
        steps.push_back({number, 0, SplitArgs(line.substr(2)), "", {}});
      } else if (line.rfind("! ", 0) == 0) {
        const std::size_t space = line.find(' ', 2);
        const std::string args = space == std::string::npos ? "" : line.substr(space + 1);
        steps.push_back({number, std::stoi(line.substr(2)), SplitArgs(args), "", {}});
      } else if (line.rfind("  ", 0) == 0 && !steps.empty()) {
        steps.back().out += line.substr(2) + "\n";
      } else if (line.rfind("2> ", 0) == 0 && !steps.empty()) {
        steps.back().err.push_back(line.substr(3));
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
      for (const auto& text : step.err) EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
    }
  }
  EXPECT_GE(sessions, 5);
}

using Lines = std::vector<std::string>;

// What one help text lists: the first words of the lines under "Subcommands:",
// the long options under "Options:" ("-h,--help" gives "--help"; --help
// itself aside), and the usage line's words after "dezov".
struct Help {
  Lines commands, options, usage;
  explicit Help(Lines args) {
    args.push_back("--help");
    const ToolResult result = RunTool(args);
    EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
    std::istringstream in(result.out);
    Lines* under = nullptr;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string first;
      words >> first;
      if (first == "Usage:") {
        for (std::string word; words >> word;) usage.push_back(word);
      } else if (line == "Subcommands:" || line == "Options:") {
        under = line[0] == 'S' ? &commands : &options;
      } else if (under != nullptr && line.rfind("  ", 0) == 0 && !first.empty()) {
        const auto at = first.find("--");
        if (under == &commands) commands.push_back(first);
        else if (at != std::string::npos && first.substr(at) != "--help") options.push_back(first.substr(at));
      } else if (!line.empty()) {
        under = nullptr;
      }
    }
  }
};

// The page's lines as the reader sees the words (font changes and quotes
// dropped, \- as -), whole under "", and by the first word of their .SS heading.
std::map<std::string, std::string> Page() {
  const std::string roff = ReadBytes(SourceFile("tools/dezov/dezov.1.in"));
  std::string plain;
  for (std::size_t i = 0; i < roff.size(); ++i) {
    if (roff.compare(i, 2, "\\f") == 0 && i + 2 < roff.size()) i += 2;
    else if (roff.compare(i, 2, "\\-") == 0) plain += '-', ++i;
    else if (roff[i] != '"') plain += roff[i];
  }
  std::map<std::string, std::string> page;
  std::string* section = nullptr;
  std::istringstream in(plain);
  for (std::string line; std::getline(in, line);) {
    page[""] += line + "\n";
    if (line.rfind(".SS ", 0) == 0 || line.rfind(".SH ", 0) == 0) {
      std::istringstream words(line.substr(4));
      std::string first;
      section = line[2] == 'S' && words >> first ? &page[first] : nullptr;
    }
    if (section != nullptr) *section += line + "\n";
  }
  return page;
}

TEST(ManPageTest, DocumentsEveryGroupCommandAndOptionOfTheHelp) {
  EXPECT_EQ(RunTool({"--version"}).out.rfind("dezov ", 0), 0u);
  auto page = Page();
  const Help top({});
  for (const auto& option : top.options)
    EXPECT_NE(page[""].find(option), std::string::npos) << "the manual page lacks the option " << option;
  ASSERT_GE(top.commands.size(), 4u);
  for (const auto& group : top.commands) {
    const std::string& section = page[group];
    ASSERT_FALSE(section.empty()) << "the manual page has no subsection for " << group;
    const Help groupHelp({group});
    for (const auto& option : groupHelp.options)
      EXPECT_NE(section.find(option), std::string::npos) << group << " lacks the option " << option;
    // The group's own arguments get placeholder values to reach each command's help.
    Lines args = {group};
    Lines usage;  // "dezov GROUP ARGS...", as each command's usage line starts
    for (const auto& word : groupHelp.usage) {
      if (word == "[OPTIONS]" || word == "SUBCOMMAND") continue;
      usage.push_back(word);
      if (word != "dezov" && word != group) args.push_back("x");
    }
    for (const auto& command : groupHelp.commands) {
      EXPECT_NE(section.find(command), std::string::npos) << group << " lacks the command " << command;
      args.push_back(command);
      const Help commandHelp(args);
      args.pop_back();
      usage.push_back(command);
      EXPECT_TRUE(commandHelp.usage.size() >= usage.size() &&
                  std::equal(usage.begin(), usage.end(), commandHelp.usage.begin()))
          << group << " " << command << ": the usage line does not start with the group's arguments";
      usage.pop_back();
      for (const auto& name : commandHelp.options)
        EXPECT_NE(section.find(name), std::string::npos) << group << " " << command << " lacks " << name;
      for (const auto& name : commandHelp.commands)
        EXPECT_NE(section.find(name), std::string::npos) << group << " " << command << " lacks " << name;
    }
  }
}

}  // namespace
}  // namespace tool_tests
