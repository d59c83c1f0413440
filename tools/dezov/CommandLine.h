// SPDX-License-Identifier: MIT
// The command line's own texts: usage lines that name the arguments of the
// groups above a command ("dezov ini FILE set ..."), and the message for a
// word where a command was expected.
#ifndef DEZOV_TOOL_COMMAND_LINE_H
#define DEZOV_TOOL_COMMAND_LINE_H

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace dezov {
namespace tool {

// Help texts whose usage line shows the whole command line down to the
// command: the group's arguments stand between the group and the command.
class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override;
};

// For args (without the program name) that app failed to parse: when a word
// stands where only a command of a group can, "unknown command 'WORD'" with
// the nearest command ("; did you mean 'get'?") or the group's commands; ""
// for every other error.
std::string UnknownCommandMessage(const CLI::App& app, const std::vector<std::string>& args);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_COMMAND_LINE_H
