// The manual page documents what the live help lists: every group in a
// subsection of its own, and there every command and every option.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "tool/ToolRunner.h"

namespace tool_tests {
namespace {

using Lines = std::vector<std::string>;

std::string Join(const Lines& words) {
  std::string joined;
  for (const auto& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

// What one help text lists: the first words of the lines under "Subcommands:",
// the long options under "Options:" ("-h,--help" gives "--help"; --help
// itself aside), and the usage line's words after "dezov".
struct Help {
  Lines commands, options, usage;
  explicit Help(Lines args) {
    args.push_back("--help");
    const ToolResult result = RunTool(args);
    EXPECT_EQ(result.status, 0) << Join(args) << ": " << result.err;
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
  const std::string roff = testing_support::ReadBytes(testing_support::SourceFile("tools/dezov/dezov.1.in"));
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
    for (const auto& word : groupHelp.usage)
      if (word != "dezov" && word != group && word != "[OPTIONS]" && word != "SUBCOMMAND") args.push_back("x");
    for (const auto& command : groupHelp.commands) {
      EXPECT_NE(section.find(command), std::string::npos) << group << " lacks the command " << command;
      args.push_back(command);
      const Help commandHelp(args);
      args.pop_back();
      for (const auto& name : commandHelp.options)
        EXPECT_NE(section.find(name), std::string::npos) << group << " " << command << " lacks " << name;
      for (const auto& name : commandHelp.commands)
        EXPECT_NE(section.find(name), std::string::npos) << group << " " << command << " lacks " << name;
    }
  }
}

}  // namespace
}  // namespace tool_tests
