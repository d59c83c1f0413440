// The manual page documents what the live help lists: every group, every
// command with its arguments as the usage line gives them, every option.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "tool/ToolRunner.h"

namespace tool_tests {
namespace {

using Lines = std::vector<std::string>;

// The lines of text, or its words.
Lines Split(const std::string& text, bool words) {
  Lines parts;
  std::istringstream in(text);
  for (std::string part; words ? bool(in >> part) : bool(std::getline(in, part));)
    parts.push_back(part);
  return parts;
}

std::string Join(const Lines& words) {
  std::string joined;
  for (const auto& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

std::string Help(const Lines& args) {
  const ToolResult result = RunTool(args);
  EXPECT_EQ(result.status, 0) << Join(args) << ": " << result.err;
  return result.out;
}

// First words of the indented lines under a heading such as "Subcommands:";
// with options set, the long options there ("-h,--help" gives "--help"),
// --help aside.
Lines Listed(const std::string& help, const std::string& heading, bool options = false) {
  Lines names;
  bool inside = false;
  for (const auto& line : Split(help, false)) {
    const Lines words = Split(line, true);
    if (line == heading) {
      inside = true;
    } else if (inside && line.rfind("  ", 0) == 0 && !words.empty()) {
      const auto at = words[0].find("--");
      if (!options) names.push_back(words[0]);
      else if (at != std::string::npos && words[0].substr(at) != "--help")
        names.push_back(words[0].substr(at));
    } else if (!line.empty()) {
      inside = false;
    }
  }
  return names;
}

// The usage line's words after "dezov" and the given leading words, without
// "[OPTIONS]": "Usage: dezov xml get [OPTIONS] SECTION KEY" gives "get SECTION KEY".
// The page calls a subcommand a COMMAND.
Lines Usage(const std::string& help, std::size_t leadingWords) {
  for (const auto& line : Split(help, false)) {
    if (line.rfind("Usage: ", 0) != 0) continue;
    Lines words;
    const auto all = Split(line, true);
    for (std::size_t i = 2 + leadingWords; i < all.size(); ++i)
      if (all[i] != "[OPTIONS]") words.push_back(all[i] == "SUBCOMMAND" ? "COMMAND" : all[i]);
    return words;
  }
  ADD_FAILURE() << "no usage line in:\n" << help;
  return {};
}

// The page's lines as the reader sees the words: font changes and quotes dropped, \- as -.
Lines PlainPage() {
  const std::string roff = testing_support::ReadBytes(testing_support::SourceFile("tools/dezov/dezov.1.in"));
  std::string plain;
  for (std::size_t i = 0; i < roff.size(); ++i) {
    if (roff.compare(i, 2, "\\f") == 0 && i + 2 < roff.size()) i += 2;
    else if (roff.compare(i, 2, "\\-") == 0) plain += '-', ++i;
    else if (roff[i] != '"') plain += roff[i];
  }
  return Split(plain, false);
}

// The lines of the page's subsection whose heading starts with the word group.
Lines Subsection(const Lines& page, const std::string& group, std::string& heading) {
  Lines body;
  bool inside = false;
  for (const auto& line : page) {
    if (line.rfind(".SS ", 0) == 0 || line.rfind(".SH ", 0) == 0) {
      const auto words = Split(line.substr(4), true);
      inside = line[2] == 'S' && !words.empty() && words[0] == group;
      if (inside) heading = Join(words);
    } else if (inside) {
      body.push_back(line);
    }
  }
  return body;
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
  EXPECT_EQ(Help({"--version"}).rfind("dezov ", 0), 0u);
  const Lines page = PlainPage();
  const std::string help = Help({"--help"});
  for (const auto& option : Listed(help, "Options:", true))
    EXPECT_TRUE(Has(page, option)) << "the manual page lacks the option " << option;

  const auto groups = Listed(help, "Subcommands:");
  ASSERT_GE(groups.size(), 4u) << help;
  for (const auto& group : groups) {
    std::string heading;
    const Lines section = Subsection(page, group, heading);
    ASSERT_FALSE(heading.empty()) << "the manual page has no subsection for " << group;
    const std::string groupHelp = Help({group, "--help"});
    const Lines commands = Listed(groupHelp, "Subcommands:");
    const Lines groupUsage = Usage(groupHelp, 0);
    if (commands.empty()) {  // the group is itself a command
      EXPECT_TRUE(Has(section, Join(groupUsage), true)) << "the page lacks: " << Join(groupUsage);
      for (const auto& option : Listed(groupHelp, "Options:", true))
        EXPECT_TRUE(Has(section, option)) << group << " lacks the option " << option;
      continue;
    }
    // The subsection is headed by the group's usage ("xml FILE COMMAND"); the
    // group's own arguments get placeholder values to reach each command's help.
    EXPECT_EQ(heading, Join(groupUsage));
    Lines args = {group};
    for (const auto& word : groupUsage)
      if (word != group && word != "COMMAND") args.push_back("x");
    for (const auto& command : commands) {
      Lines commandArgs = args;
      commandArgs.insert(commandArgs.end(), {command, "--help"});
      const std::string commandHelp = Help(commandArgs);
      const std::string synopsis = Join(Usage(commandHelp, 1));
      EXPECT_TRUE(Has(section, synopsis, true)) << "the " << group << " subsection lacks: " << synopsis;
      for (const auto& option : Listed(commandHelp, "Options:", true))
        EXPECT_TRUE(Has(section, option)) << group << " " << command << " lacks " << option;
      for (const auto& inner : Listed(commandHelp, "Subcommands:"))
        EXPECT_TRUE(Has(section, inner)) << group << " " << command << " lacks " << inner;
    }
  }
}

}  // namespace
}  // namespace tool_tests
