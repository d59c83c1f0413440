// SPDX-License-Identifier: MIT
// dezov deploy FILE ...: the deployment resolver, loaded from an XML
// configuration file, answering which domain serves a request; and the check
// of the description it loads.
#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

#include "Commands.h"
#include "DeployCheck.h"
#include "DeploymentTable.h"
#include "JsonText.h"
#include "KdDeploy.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueFields.h"
#include "XmlFile.h"
#include "XmlIni.h"

namespace dezov {
namespace tool {
namespace {

// The arguments of every deploy subcommand; only one subcommand runs.
struct DeployArgs {
  std::string file;
  std::string name;
  std::string key;
  std::string keyEnd;
  std::string current;
  std::string yybKey;
  std::string jysKey;
  bool firstPart = false;
  bool werror = false;
};

// A command that asks the resolver loaded from FILE.
using LookupCommand = int (*)(Session&, const CKdDeploy&, const DeployArgs&);
// A lookup made into the action of a subcommand: asked once, or on every version of FILE.
using Asked = std::function<int(Session&, const DeployArgs&)>;

// Prints one answer of the resolver (store text), as a line or a JSON string.
void PrintAnswer(Session& session, const std::string& answer) {
  if (session.json)
    session.PrintAsIs(session.Json(answer));
  else
    session.Print(answer);
}

std::string Request(const DeployArgs& args) {
  return Quoted(args.key) + (args.keyEnd.empty() ? "" : ".." + Quoted(args.keyEnd));
}

std::string Counted(std::size_t count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// One line per finding, in the form compilers use, then a summary. Exit
// status 0 when clean, 1 with warnings only, 2 with errors.
int Check(Session& session, const DeployArgs& args) {
  CXmlIni store;
  OpenXmlFile(store, args.file);
  std::size_t errors = 0;
  std::size_t warnings = 0;
  for (DeployFinding finding : CheckDeployment(store)) {
    if (args.werror) finding.severity = DeployFinding::kError;
    ++(finding.severity == DeployFinding::kError ? errors : warnings);
    // The file name as typed; the rest is GBK text from the file.
    session.PrintAsIs(args.file + session.Shown(FormatFinding("", finding)));
  }
  session.PrintAsIs(args.file + ": " +
                    (errors + warnings == 0 ? std::string("no findings")
                                            : Counted(errors, "error") + ", " +
                                                  Counted(warnings, "warning")));
  if (errors > 0) return kExitFailure;
  return warnings > 0 ? kExitNotFound : kExitOk;
}

// The loaded deployments as JSON: {"scheme": N, "deployments": [{"name",
// "kind", "range", "domains": [{"domain", "key", and for ranges "keyEnd"}]}]}.
std::string DeploymentsJson(const Session& session, const CKdDeploy& resolver) {
  std::vector<std::string> deployments;
  CKdDeploy::Deployment deployment;
  for (int i = 0; resolver.GetDeployment(i, deployment); ++i) {
    std::vector<std::string> domains;
    for (std::size_t d = 0; d < deployment.domains.size(); ++d) {
      std::vector<std::pair<std::string, std::string>> domain{
          {"domain", session.Json(deployment.domains[d])}, {"key", session.Json(deployment.keys[d])}};
      if (deployment.range) domain.emplace_back("keyEnd", session.Json(deployment.keyEnds[d]));
      domains.push_back(JsonObject(domain));
    }
    deployments.push_back(JsonObject({{"name", session.Json(deployment.name)},
                                      {"kind", std::to_string(deployment.kind)},
                                      {"range", deployment.range ? "true" : "false"},
                                      {"domains", JsonArray(domains)}}));
  }
  return JsonObject({{"scheme", std::to_string(resolver.GetScheme())},
                     {"deployments", JsonArray(deployments)}});
}

int Show(Session& session, const DeployArgs& args) {
  CKdDeploy resolver;
  {
    CXmlIni store;
    OpenXmlFile(store, args.file);
    resolver.InitDeloy(&store);
  }
  if (resolver.GetDeploymentCount() == 0)
    throw NotFound(args.file + ": no deployments (section DEPLOY)");
  if (session.json) {
    session.PrintAsIs(DeploymentsJson(session, resolver));
    return kExitOk;
  }
  for (const auto& line : DeploymentTableLines(resolver)) session.Print(line);
  session.Print(SchemeText(resolver.GetScheme()));
  return kExitOk;
}

int Domain(Session& session, const CKdDeploy& resolver, const DeployArgs& args) {
  const std::string name = session.Stored(args.name, "NAME");
  const std::string key = session.Stored(args.key, "KEY");
  const std::string keyEnd = session.Stored(args.keyEnd, "KEYEND");
  if (resolver.GetDomainStr(name, key, keyEnd).empty())
    throw NotFound("no domain of " + Quoted(args.name) + " serves " + Request(args));
  PrintAnswer(session, args.firstPart ? resolver.GetDomain(name, key, keyEnd)
                                      : resolver.GetDomainStr(name, key, keyEnd));
  return kExitOk;
}

int NextDomain(Session& session, const CKdDeploy& resolver, const DeployArgs& args) {
  const std::string name = session.Stored(args.name, "NAME");
  const std::string key = session.Stored(args.key, "KEY");
  const std::string keyEnd = session.Stored(args.keyEnd, "KEYEND");
  const std::string current = session.Stored(args.current, "CURRENT");
  if (resolver.GetNextDomainStr(name, key, keyEnd, current).empty())
    throw NotFound("no domain of " + Quoted(args.name) + " after " + Quoted(args.current) +
                   " serves " + Request(args));
  PrintAnswer(session, args.firstPart ? resolver.GetNextDomain(name, key, keyEnd, current)
                                      : resolver.GetNextDomainStr(name, key, keyEnd, current));
  return kExitOk;
}

// The trade domain list and its first domain: two lines, or the JSON object
// {"domains": [names...], "first": name}.
int Trade(Session& session, const CKdDeploy& resolver, const DeployArgs& args) {
  std::string yyb = session.Stored(args.yybKey, "YYBKEY");
  std::string jys = session.Stored(args.jysKey, "JYSKEY");
  const std::string list = resolver.GetMulTradeDomain(yyb, jys);
  if (list.empty())
    throw NotFound("no trade domain for " + Quoted(args.yybKey) + " and " + Quoted(args.jysKey));
  const std::string first = resolver.GetTradeDomain(yyb, jys);
  if (session.json) {
    session.PrintAsIs(JsonObject(
        {{"domains", session.Json(SplitFields(list, ','))}, {"first", session.Json(first)}}));
    return kExitOk;
  }
  session.Print(list);
  session.Print(first);
  return kExitOk;
}

int NextQuery(Session& session, const CKdDeploy& resolver, const DeployArgs& args) {
  std::string next;
  if (!resolver.GetNextQueryDomain(session.Stored(args.yybKey, "YYBKEY"),
                                   session.Stored(args.jysKey, "JYSKEY"),
                                   session.Stored(args.current, "CURRENT"), next))
    throw NotFound("no query domain after " + Quoted(args.current));
  PrintAnswer(session, next);
  return kExitOk;
}

int History(Session& session, const CKdDeploy& resolver, const DeployArgs& args) {
  const std::string domain = resolver.GetHistoryDomain(
      session.Stored(args.yybKey, "YYBKEY"), session.Stored(args.key, "RQKEY"),
      session.Stored(args.keyEnd, "RQKEYEND"), session.Stored(args.current, "CURRENT"));
  if (domain.empty())
    throw NotFound("no history domain for " + Quoted(args.yybKey) + " and " + Request(args));
  PrintAnswer(session, domain);
  return kExitOk;
}

// The command run on a resolver loaded from the file; the store is gone
// before the resolver answers, as in the programs that use it.
Asked Loaded(LookupCommand run) {
  return [run](Session& session, const DeployArgs& args) {
    CKdDeploy resolver;
    {
      CXmlIni store;
      OpenXmlFile(store, args.file);
      resolver.InitDeloy(&store);
    }
    return run(session, resolver, args);
  };
}

// The command asked now and again after every change of the file.
Asked Watched(LookupCommand run) {
  return [run](Session& session, const DeployArgs& args) {
    return WatchAnswers(session, args.file,
                        [&args, run](Session& asked, const CKdDeploy& resolver) {
                          return run(asked, resolver, args);
                        });
  };
}

// The lookups, as subcommands of group, each made into an action by ask;
// with json each can answer in JSON.
void AddLookups(CLI::App& group, Session& session, const std::shared_ptr<DeployArgs>& args,
                Asked (*ask)(LookupCommand), bool json) {
  const char* firstHelp = "print only the first ':'-separated name of the domain";
  CLI::App* domain = AddCommand(group, session, args, "domain",
                                "Print the first domain of a deployment serving KEY "
                                "(or the range KEY..KEYEND); exit status 1 when none",
                                ask(Domain));
  domain->add_option("NAME", args->name, "deployment name")->required();
  domain->add_option("KEY", args->key, "match text, or lower end of the range")->required();
  domain->add_option("KEYEND", args->keyEnd, "upper end of the range (range deployments)");
  domain->add_flag("--first", args->firstPart, firstHelp);

  CLI::App* next = AddCommand(group, session, args, "next",
                              "Print the next domain serving the request after CURRENT; "
                              "exit status 1 when none",
                              ask(NextDomain));
  next->add_option("NAME", args->name, "deployment name")->required();
  next->add_option("KEY", args->key, "match text, or lower end of the range")->required();
  next->add_option("KEYEND", args->keyEnd, "upper end of the range; \"\" for text deployments")
      ->required();
  next->add_option("CURRENT", args->current, "the current domain string, as stored")->required();
  next->add_flag("--first", args->firstPart, firstHelp);

  CLI::App* trade = AddCommand(group, session, args, "trade",
                               "Print the trade domain list, then its first domain; "
                               "exit status 1 when the list is empty",
                               ask(Trade));
  trade->add_option("YYBKEY", args->yybKey, "key looked up in the YYB deployment")->required();
  trade->add_option("JYSKEY", args->jysKey, "key looked up in the JYS deployment")->required();

  CLI::App* nextQuery = AddCommand(group, session, args, "next-query",
                                   "Print the trade domain after CURRENT; exit status 1 when none",
                                   ask(NextQuery));
  nextQuery->add_option("YYBKEY", args->yybKey, "key looked up in the YYB deployment")->required();
  nextQuery->add_option("JYSKEY", args->jysKey, "key looked up in the JYS deployment")->required();
  nextQuery->add_option("CURRENT", args->current, "the current trade domain name")->required();

  CLI::App* history = AddCommand(group, session, args, "history",
                                 "Print the history domain for a YYB key and an RQ key range; "
                                 "exit status 1 when none",
                                 ask(History));
  history->add_option("YYBKEY", args->yybKey, "key looked up in the YYB deployment")->required();
  history->add_option("RQKEY", args->key, "lower end of the RQ key range")->required();
  history->add_option("RQKEYEND", args->keyEnd, "upper end of the RQ key range")->required();
  history->add_option("CURRENT", args->current, "the current RQ domain string, to move past it");
  if (json)
    for (CLI::App* lookup : {domain, next, trade, nextQuery, history}) OffersJson(lookup, session);
}

}  // namespace

void AddDeployCommands(CLI::App& app, Session& session) {
  auto args = std::make_shared<DeployArgs>();
  CLI::App* deploy = app.add_subcommand(
      "deploy", "Ask the deployment resolver which domain serves a request, or check its file");
  deploy->add_option("FILE", args->file, "XML configuration file with the section DEPLOY")
      ->required();
  deploy->require_subcommand(1);

  OffersJson(AddCommand(*deploy, session, args, "show",
                        "Print the loaded deployments as a table, and the scheme", Show),
             session);

  CLI::App* check = AddCommand(
      *deploy, session, args, "check",
      "Report what the resolver would skip, misread or answer first (FILE:LINE: error: ...); "
      "exit status 0 clean, 1 warnings only, 2 errors",
      Check);
  check->add_flag("--werror", args->werror, "treat warnings as errors");

  AddLookups(*deploy, session, args, Loaded, true);

  CLI::App* watch = deploy->add_subcommand(
      "watch",
      "Ask a question now and again whenever a change of FILE changes the answer, one line "
      "per answer (an empty line: nothing serves the request); a failed reload is reported "
      "on stderr and the last good answer stands; SIGINT or SIGTERM ends it with status 0");
  watch->require_subcommand(1);
  AddLookups(*watch, session, args, Watched, false);
}

}  // namespace tool
}  // namespace dezov
