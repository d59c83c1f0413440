// dezov: reads and changes XML and INI configuration files and asks the
// deployment resolver, from a shell. Arguments and answers are converted
// between the terminal's encoding and GBK, the encoding of the files.
#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

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
  app.set_version_flag("--version", "dezov " DEZOV_VERSION);
  app.add_flag("--raw", session.raw,
               "Pass names, values and answers as bytes (GBK as stored), without conversion");
  app.require_subcommand(1);
  app.fallthrough();  // --raw is accepted after the subcommands too

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
    return app.exit(error) == 0 ? kExitOk : kExitFailure;
  }
  if (!session.action) return kExitFailure;  // not reached: a subcommand is required
  return RunAction(session);
}
