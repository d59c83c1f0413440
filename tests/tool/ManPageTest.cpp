// The manual page documents what the live help lists: every group, every
// command with its arguments as the usage line gives them, every option.
#include <gtest/gtest.h>

#include <map>
#include <regex>
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
// itself aside), and the usage line's words after "dezov" and `skip` more,
// without "[OPTIONS]" (the page calls a subcommand a COMMAND).
struct Help {
  Lines commands, options, usage;
  Help(Lines args, std::size_t skip) {
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
        std::size_t index = 0;
        for (std::string word; words >> word; ++index)
          if (index > skip && word != "[OPTIONS]") usage.push_back(word == "SUBCOMMAND" ? "COMMAND" : word);
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
    EXPECT_FALSE(usage.empty()) << "no usage line in:\n" << result.out;
  }
};

// The page's lines as the reader sees the words (font changes and quotes
// dropped, \- as -), whole under "", and by the first word of their .SS
// heading, the heading's words first.
std::map<std::string, Lines> Page() {
  const std::string roff = testing_support::ReadBytes(testing_support::SourceFile("tools/dezov/dezov.1.in"));
  std::string plain;
  for (std::size_t i = 0; i < roff.size(); ++i) {
    if (roff.compare(i, 2, "\\f") == 0 && i + 2 < roff.size()) i += 2;
    else if (roff.compare(i, 2, "\\-") == 0) plain += '-', ++i;
    else if (roff[i] != '"') plain += roff[i];
  }
  std::map<std::string, Lines> page;
  Lines* section = nullptr;
  std::istringstream in(plain);
  for (std::string line; std::getline(in, line);) {
    page[""].push_back(line);
    if (line.rfind(".SS ", 0) == 0 || line.rfind(".SH ", 0) == 0) {
      std::istringstream words(line.substr(4));
      Lines heading;
      for (std::string word; words >> word;) heading.push_back(word);
      section = line[2] == 'S' && !heading.empty() ? &page[heading[0]] : nullptr;
      line = Join(heading);
    }
    if (section != nullptr) section->push_back(line);
  }
  return page;
}

// Whether a line holds wanted; with whole set, whether one equals it once its
// optional options ("[--werror]") are left out, as the usage line leaves them
// out behind "[OPTIONS]".
bool Has(const Lines& lines, const std::string& wanted, bool whole = false) {
  static const std::regex optionalOption(R"( \[--[^\]]*\])");
  for (const auto& line : lines)
    if (whole ? std::regex_replace(line, optionalOption, "") == wanted
              : line.find(wanted) != std::string::npos)
      return true;
  return false;
}

TEST(ManPageTest, DocumentsEveryGroupCommandAndOptionOfTheHelp) {
  EXPECT_EQ(RunTool({"--version"}).out.rfind("dezov ", 0), 0u);
  auto page = Page();
  const Help top({}, 0);
  for (const auto& option : top.options)
    EXPECT_TRUE(Has(page[""], option)) << "the manual page lacks the option " << option;
  ASSERT_GE(top.commands.size(), 4u);
  for (const auto& group : top.commands) {
    const Lines& section = page[group];
    ASSERT_FALSE(section.empty()) << "the manual page has no subsection for " << group;
    const Help groupHelp({group}, 0);
    // A group that is itself a command shows its usage; any other is headed by
    // it ("xml FILE COMMAND"), and its own arguments get placeholder values to
    // reach each command's help.
    if (groupHelp.commands.empty())
      EXPECT_TRUE(Has(section, Join(groupHelp.usage), true)) << "the page lacks: " << Join(groupHelp.usage);
    else
      EXPECT_EQ(section[0], Join(groupHelp.usage));
    for (const auto& option : groupHelp.options)
      EXPECT_TRUE(Has(section, option)) << group << " lacks the option " << option;
    Lines args = {group};
    for (const auto& word : groupHelp.usage)
      if (word != group && word != "COMMAND") args.push_back("x");
    for (const auto& command : groupHelp.commands) {
      args.push_back(command);
      const Help commandHelp(args, 1);
      args.pop_back();
      const std::string synopsis = Join(commandHelp.usage);
      EXPECT_TRUE(Has(section, synopsis, true)) << "the " << group << " subsection lacks: " << synopsis;
      for (const auto& option : commandHelp.options)
        EXPECT_TRUE(Has(section, option)) << group << " " << command << " lacks " << option;
      for (const auto& inner : commandHelp.commands)
        EXPECT_TRUE(Has(section, inner)) << group << " " << command << " lacks " << inner;
    }
  }
}

}  // namespace
}  // namespace tool_tests
