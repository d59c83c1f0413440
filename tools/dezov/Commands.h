// The tool's command groups; each adds its subcommands to the application.
#ifndef DEZOV_TOOL_COMMANDS_H
#define DEZOV_TOOL_COMMANDS_H

namespace CLI {
class App;
}  // namespace CLI

namespace dezov {
namespace tool {

class Session;

// dezov xml FILE ...: sections, keys, values, attributes and records of an XML store.
void AddXmlCommands(CLI::App& app, Session& session);
// dezov ini FILE ...: sections, keys and values of an INI file.
void AddIniCommands(CLI::App& app, Session& session);
// dezov deploy FILE ...: the deployment resolver's answers.
void AddDeployCommands(CLI::App& app, Session& session);
// dezov demo: a walk through the resolver on the shipped example.
void AddDemoCommand(CLI::App& app, Session& session);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_COMMANDS_H
