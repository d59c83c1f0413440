// SPDX-License-Identifier: MIT
// The tool's command groups; each adds its subcommands to the application.
#ifndef DEZOV_TOOL_COMMANDS_H
#define DEZOV_TOOL_COMMANDS_H

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

#include "Session.h"

class CKdDeploy;

namespace dezov {
namespace tool {

// dezov xml FILE ...: sections, keys, values, attributes and records of an XML store.
void AddXmlCommands(CLI::App& app, Session& session);
// dezov ini FILE ...: sections, keys and values of an INI file.
void AddIniCommands(CLI::App& app, Session& session);
// dezov deploy FILE ...: the deployment resolver's answers and the description's check.
void AddDeployCommands(CLI::App& app, Session& session);
// dezov demo: a walk through the resolver on the shipped example.
void AddDemoCommand(CLI::App& app, Session& session);
// dezov put FILE: replaces FILE with standard input after checking it.
void AddPutCommand(CLI::App& app, Session& session);

// Marks command as one that can answer in JSON (--format json); any other
// command refuses --format json.
void OffersJson(CLI::App* command, Session& session);

// One deploy question asked of a resolver: prints its answer into the session,
// throws NotFound when nothing serves the request.
using WatchQuestion = std::function<int(Session& session, const CKdDeploy& resolver)>;
// Asks the question on the description in file now and after every reload that
// changes the answer, one flushed line each, until SIGINT or SIGTERM (status 0).
int WatchAnswers(Session& session, const std::string& file, const WatchQuestion& ask);

// Adds the subcommand name to group; when the command line chooses it, the
// session's action becomes run(session, *args), with the arguments parsed by then.
template <class Args, class Run>
CLI::App* AddCommand(CLI::App& group, Session& session, const std::shared_ptr<Args>& args,
                     const char* name, const char* help, Run run) {
  CLI::App* command = group.add_subcommand(name, help);
  command->callback([&session, args, run] {
    session.action = [&session, args, run] { return run(session, *args); };
  });
  return command;
}

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_COMMANDS_H
