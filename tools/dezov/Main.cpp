// SPDX-License-Identifier: MIT
// dezov: reads and changes XML and INI configuration files and asks the
// deployment resolver, from a shell. Arguments and answers are converted
// between the terminal's encoding and the text of the files.
#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "Session.h"
#include "ToolError.h"
#include "Transcoder.h"
#ifdef DEZOV_WITH_SYNC
#include "sync/SyncCommand.h"
#endif

#ifndef DEZOV_VERSION
#define DEZOV_VERSION "unknown"
#endif

namespace {

using namespace dezov::tool;

void PrintError(const std::string& message) {
  std::fprintf(stderr, "dezov: %s\n", message.c_str());
}

// Runs the chosen command; the answer reaches stdout only when it succeeded.
int RunAction(Session& session) {
  int status = kExitFailure;
  try {
    if (session.json && !session.hasJsonForm)
      throw Failure("--format json: this command answers in text only");
    status = session.action();
  } catch (const ToolError& error) {
    PrintError(error.what());
    return error.status();
  } catch (const std::exception& error) {
    PrintError(error.what());
    return kExitFailure;
  } catch (...) {
    // The XML library throws its own exception types when it refuses a name.
    PrintError("the XML library refused the request (is every name a valid XML name?)");
    return kExitFailure;
  }
  const std::string& answer = session.answer();
  if (std::fwrite(answer.data(), 1, answer.size(), stdout) != answer.size() ||
      std::fflush(stdout) != 0) {
    PrintError("cannot write the answer to standard output");
    return kExitFailure;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Past a file size limit a write fails with a reason the tool reports,
  // instead of the signal ending the tool half way through a save.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // Learn the terminal's encoding before any store changes the locale.
  std::setlocale(LC_ALL, "");
  Session session{TerminalText(TerminalCodeset())};

  CLI::App app{"Read and change XML and INI configuration files, and ask the deployment "
               "resolver which domain serves a request.\n"
               "Exit status: 0 done, 1 the value, key, section or domain asked for does not "
               "exist, 2 usage error or failure.",
               "dezov"};
  app.formatter(std::make_shared<UsageFormatter>());
  app.set_version_flag("--version", "dezov " DEZOV_VERSION);
  app.add_flag("--raw", session.raw,
               "Pass names, values and answers as bytes (as stored), without conversion");
  std::string format = "text";
  app.add_option("--format", format,
                 "text (default) or json: get, show, sections, keys and the deploy answers "
                 "as one JSON document in UTF-8")
      ->check(CLI::IsMember({"text", "json"}));
  app.require_subcommand(1);
  app.fallthrough();  // --raw and --format are accepted after the subcommands too

  // The command groups, each in files of its own.
  AddXmlCommands(app, session);
  AddIniCommands(app, session);
  AddDeployCommands(app, session);
  AddDemoCommand(app, session);
  AddPutCommand(app, session);
#ifdef DEZOV_WITH_SYNC
  AddSyncCommand(app, session);
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const std::string unknown =
        UnknownCommandMessage(app, std::vector<std::string>(argv + 1, argv + argc));
    if (unknown.empty()) return app.exit(error) == 0 ? kExitOk : kExitFailure;
    PrintError(unknown);
    return kExitFailure;
  }
  if (!session.action) return kExitFailure;  // not reached: a subcommand is required
  session.json = format == "json";
  return RunAction(session);
}
