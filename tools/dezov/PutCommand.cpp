// SPDX-License-Identifier: MIT
// dezov put FILE: replaces FILE with standard input, the step a sync job runs
// for each new version of a configuration file. The content passes the
// library's acceptance check first (an XML file must open as a configuration
// store and, when it describes deployments, pass their check without errors),
// and the replacement is atomic and takes the stores' save lock, so a program
// saving the file at the same time never interleaves with it. Content that
// fails the check leaves FILE as it was.
#include <CLI/CLI.hpp>

#include <memory>
#include <sstream>
#include <string>

#include "Commands.h"
#include "ConfigCheck.h"
#include "InputBytes.h"
#include "PutFile.h"
#include "Session.h"
#include "ToolError.h"

namespace dezov {
namespace tool {
namespace {

// The library's reason (GBK lines, each naming file as given) as the terminal
// shows it: the file's name as typed, the rest converted.
std::string ShownReason(const Session& session, const std::string& file,
                        const std::string& reason) {
  std::istringstream lines(reason);
  std::string shown;
  for (std::string line; std::getline(lines, line);) {
    if (!shown.empty()) shown += '\n';
    const bool named = line.compare(0, file.size(), file) == 0;
    const std::string rest = named ? line.substr(file.size()) : line;
    const std::string text = session.Reason(rest);
    shown += (named ? file : std::string()) + text;
  }
  return shown;
}

int Put(const Session& session, const std::string& file) {
  std::string bytes;
  std::string reason;
  if (!ReadStandardInputBytes(bytes, reason)) throw Failure(reason);
  if (!CheckConfigBytes(ConfigKindOf(file), bytes, file, reason))
    throw Failure(ShownReason(session, file, reason));
  if (!PutFileBytes(file, bytes, PutOptions(), reason))
    throw Failure(reason + " (" + file + " is unchanged)");
  return kExitOk;
}

}  // namespace

void AddPutCommand(CLI::App& app, Session& session) {
  auto file = std::make_shared<std::string>();
  CLI::App* put = app.add_subcommand(
      "put", "Replace FILE with standard input, atomically and under the stores' save lock, "
             "after checking it (never empty; an XML file must open and, with a section DEPLOY, "
             "pass dezov deploy check without errors); exit status 2 and FILE unchanged when "
             "the check fails");
  put->add_option("FILE", *file, "the XML or INI configuration file to replace")->required();
  put->callback([&session, file] { session.action = [&session, file] { return Put(session, *file); }; });
}

}  // namespace tool
}  // namespace dezov
