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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Join(const std::vector<std::string>& words) {
  std::string joined;
  for (const auto& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

std::string Help(const std::vector<std::string>& args) {
  const ToolResult result = RunTool(args);
  EXPECT_EQ(result.status, 0) << Join(args) << ": " << result.err;
  return result.out;
}

// First words of the lines under a heading such as "Subcommands:" or "Options:".
std::vector<std::string> Listed(const std::string& help, const std::string& heading) {
  std::vector<std::string> names;
  bool inside = false;
  for (const auto& line : Lines(help)) {
    if (line == heading) {
      inside = true;
    } else if (inside && line.rfind("  ", 0) == 0) {
      const auto words = Words(line);
      if (!words.empty()) names.push_back(words[0]);
    } else if (inside && !line.empty()) {
      inside = false;
    }
  }
  return names;
}

// Long options a help text lists, --help aside: "-h,--help" gives "--help".
std::vector<std::string> LongOptions(const std::string& help) {
  std::vector<std::string> options;
  for (const auto& name : Listed(help, "Options:")) {
    const auto at = name.find("--");
    if (at != std::string::npos && name.substr(at) != "--help") options.push_back(name.substr(at));
  }
  return options;
}

// The usage line's words after "dezov" and the given leading words, without
// "[OPTIONS]": "Usage: dezov xml get [OPTIONS] SECTION KEY" gives "get SECTION KEY".
// The page calls a subcommand a COMMAND.
std::vector<std::string> Usage(const std::string& help, std::size_t leadingWords) {
  for (const auto& line : Lines(help)) {
    if (line.rfind("Usage: ", 0) != 0) continue;
    std::vector<std::string> words;
    const auto all = Words(line);
    for (std::size_t i = 2 + leadingWords; i < all.size(); ++i)
      if (all[i] != "[OPTIONS]") words.push_back(all[i] == "SUBCOMMAND" ? "COMMAND" : all[i]);
    return words;
  }
  ADD_FAILURE() << "no usage line in:\n" << help;
  return {};
}

// The page as the reader sees the words: font changes and quotes dropped, \- as -.
std::string PlainRoff(const std::string& roff) {
  std::string plain;
  for (std::size_t i = 0; i < roff.size(); ++i) {
    if (roff.compare(i, 2, "\\f") == 0 && i + 2 < roff.size()) {
      i += 2;
    } else if (roff.compare(i, 2, "\\-") == 0) {
      plain += '-';
      ++i;
    } else if (roff[i] != '"') {
      plain += roff[i];
    }
  }
  return plain;
}

// The text of the page's subsection whose heading starts with the word group.
std::vector<std::string> Subsection(const std::vector<std::string>& page, const std::string& group,
                                    std::string& heading) {
  std::vector<std::string> body;
  bool inside = false;
  for (const auto& line : page) {
    if (line.rfind(".SS ", 0) == 0 || line.rfind(".SH ", 0) == 0) {
      const auto words = Words(line.substr(4));
      inside = line[2] == 'S' && !words.empty() && words[0] == group;
      if (inside) heading = Join(words);
    } else if (inside) {
      body.push_back(line);
    }
  }
  return body;
}

// A line equal to wanted once its optional options ("[--werror]") are left out,
// as the usage line leaves them out behind "[OPTIONS]".
bool HasLine(const std::vector<std::string>& lines, const std::string& wanted) {
  static const std::regex optionalOption(R"( \[--[^\]]*\])");
  for (const auto& line : lines)
    if (std::regex_replace(line, optionalOption, "") == wanted) return true;
  return false;
}

bool Mentions(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const auto& line : lines)
    if (line.find(wanted) != std::string::npos) return true;
  return false;
}

TEST(ManPageTest, DocumentsEveryGroupCommandAndOptionOfTheHelp) {
  const auto page = Lines(PlainRoff(
      testing_support::ReadBytes(testing_support::SourceFile("tools/dezov/dezov.1.in"))));
  const std::string help = Help({"--help"});
  for (const auto& option : LongOptions(help))
    EXPECT_TRUE(Mentions(page, option)) << "the manual page lacks the option " << option;

  const auto groups = Listed(help, "Subcommands:");
  ASSERT_GE(groups.size(), 4u) << help;
  for (const auto& group : groups) {
    std::string heading;
    const auto section = Subsection(page, group, heading);
    ASSERT_FALSE(heading.empty()) << "the manual page has no subsection for " << group;
    const std::string groupHelp = Help({group, "--help"});
    const auto commands = Listed(groupHelp, "Subcommands:");
    auto groupUsage = Usage(groupHelp, 0);
    if (commands.empty()) {  // the group is itself a command
      EXPECT_TRUE(HasLine(section, Join(groupUsage))) << "the manual page lacks: " << Join(groupUsage);
      for (const auto& option : LongOptions(groupHelp))
        EXPECT_TRUE(Mentions(section, option)) << group << " lacks the option " << option;
      continue;
    }
    // The subsection is headed by the group's usage ("xml FILE COMMAND"); the
    // group's own arguments get placeholder values to reach each command's help.
    std::vector<std::string> placeholders;
    for (const auto& word : groupUsage)
      if (word != group && word != "COMMAND") placeholders.push_back("x");
    EXPECT_EQ(heading, Join(groupUsage));
    for (const auto& command : commands) {
      std::vector<std::string> args = {group};
      args.insert(args.end(), placeholders.begin(), placeholders.end());
      args.insert(args.end(), {command, "--help"});
      const std::string commandHelp = Help(args);
      const std::string synopsis = Join(Usage(commandHelp, 1));
      EXPECT_TRUE(HasLine(section, synopsis))
          << "the manual page's " << group << " subsection lacks: " << synopsis;
      for (const auto& option : LongOptions(commandHelp))
        EXPECT_TRUE(Mentions(section, option)) << group << " " << command << " lacks " << option;
      for (const auto& inner : Listed(commandHelp, "Subcommands:"))
        EXPECT_TRUE(Mentions(section, inner)) << group << " " << command << " lacks " << inner;
    }
  }
}

}  // namespace
}  // namespace tool_tests
