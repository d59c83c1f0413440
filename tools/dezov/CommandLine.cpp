// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include <algorithm>
#include <vector>

#include "Commands.h"

namespace dezov {
namespace tool {
namespace {

// The positional arguments of app as its usage shows them ("FILE", "[KEYEND]").
std::string PositionalWords(const CLI::App& app) {
  std::string words;
  for (const CLI::Option* option :
       app.get_options([](const CLI::Option* o) { return o->get_positional(); })) {
    const std::string name = option->get_name(true);
    words += " " + (option->get_required() ? name : "[" + name + "]");
  }
  return words;
}

// Edits between a and b, a swap of two neighbours counting as one.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// The option named word ("--format") of group or a group above it; null when none.
const CLI::Option* FindOption(const CLI::App* group, const std::string& word) {
  for (; group != nullptr; group = group->get_parent())
    if (const CLI::Option* option = group->get_option_no_throw(word)) return option;
  return nullptr;
}

std::size_t PositionalCount(const CLI::App& group) {
  return group.get_options([](const CLI::Option* o) { return o->get_positional(); }).size();
}

// The nearest command of group to word, or "" when none is near enough.
std::string Nearest(const std::vector<const CLI::App*>& commands, const std::string& word) {
  std::string nearest;
  std::size_t best = 3;  // farther is no typing error
  for (const CLI::App* command : commands) {
    const std::string& name = command->get_name();
    const bool prefix = word.size() >= 3 && name.compare(0, word.size(), word) == 0;
    const std::size_t distance = prefix ? 1 : Distance(word, name);
    if (distance < best && distance < std::max<std::size_t>(word.size(), 2)) {
      best = distance;
      nearest = name;
    }
  }
  return nearest;
}

}  // namespace

std::string UsageFormatter::make_usage(const CLI::App* app, std::string name) const {
  std::vector<const CLI::App*> chain;
  for (const CLI::App* at = app; at != nullptr; at = at->get_parent()) chain.push_back(at);
  if (chain.size() > 1) {
    std::reverse(chain.begin(), chain.end());
    name = chain.front()->get_name();
    for (std::size_t i = 1; i + 1 < chain.size(); ++i)
      name += " " + chain[i]->get_name() + PositionalWords(*chain[i]);
    name += " " + app->get_name();
  }
  return CLI::Formatter::make_usage(app, name);
}

std::string UnknownCommandMessage(const CLI::App& app, const std::vector<std::string>& args) {
  // Follows the words as the parser does: into commands, over options and
  // their values, filling each group's own arguments.
  const CLI::App* group = &app;
  std::size_t filled = 0;  // of the group's own arguments
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") return "";
    if (word.size() > 1 && word[0] == '-') {
      const CLI::Option* option = FindOption(group, word);
      if (option != nullptr && option->get_items_expected_min() > 0 &&
          word.find('=') == std::string::npos)
        ++i;  // its value
      continue;
    }
    const std::vector<const CLI::App*> commands =
        group->get_subcommands([](const CLI::App* command) { return !command->get_name().empty(); });
    const auto chosen = std::find_if(commands.begin(), commands.end(),
                                     [&word](const CLI::App* command) { return command->check_name(word); });
    if (chosen != commands.end()) {
      group = *chosen;
      filled = 0;
    } else if (filled < PositionalCount(*group)) {
      ++filled;
    } else if (commands.empty()) {
      return "";  // an argument too many, which the parser names itself
    } else {
      std::string names;
      for (const CLI::App* command : commands) names += (names.empty() ? "" : ", ") + command->get_name();
      const std::string nearest = Nearest(commands, word);
      return "unknown command '" + word + "'" +
             (nearest.empty() ? "; the commands are " + names : "; did you mean '" + nearest + "'?");
    }
  }
  return "";
}

void OffersJson(CLI::App* command, Session& session) {
  command->preparse_callback([&session](std::size_t) { session.hasJsonForm = true; });
}

}  // namespace tool
}  // namespace dezov
