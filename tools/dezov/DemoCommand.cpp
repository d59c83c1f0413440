// SPDX-License-Identifier: MIT
// dezov demo: loads the shipped example deployment and walks through what the
// resolver answers, each answer under its question in words.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "DeploymentTable.h"
#include "ExampleDeployment.h"
#include "KdDeploy.h"
#include "Session.h"
#include "ToolError.h"
#include "XmlFile.h"
#include "XmlIni.h"

#ifndef DEZOV_EXAMPLES_FROM_BINDIR
#define DEZOV_EXAMPLES_FROM_BINDIR "../share/doc/dezov/examples"
#endif

namespace dezov {
namespace tool {
namespace {

namespace fs = std::filesystem;

struct DemoArgs {
  std::string file;
  bool builtin = false;
};

// A private directory holding the built-in example, removed with it.
class TemporaryExample {
 public:
  TemporaryExample() {
    std::random_device entropy;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && directory_.empty(); ++attempt) {
      const fs::path candidate = base / ("dezov-demo-" + std::to_string(entropy()));
      if (fs::create_directory(candidate, error)) directory_ = candidate;  // new, so ours
    }
    if (directory_.empty()) throw Failure("cannot make a temporary directory for the example");
    file_ = (directory_ / "deploy.xml").string();
    std::ofstream out(file_, std::ios::binary);
    out << ExampleDeploymentXml();
    if (!out.flush()) throw Failure("cannot write the example to " + file_);
  }
  TemporaryExample(const TemporaryExample&) = delete;
  TemporaryExample& operator=(const TemporaryExample&) = delete;
  ~TemporaryExample() {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }
  const std::string& file() const { return file_; }

 private:
  fs::path directory_;
  std::string file_;
};

// examples/deploy.xml below the current directory, else the copy installed
// beside the program (found from the program's own place where the system
// tells it, /proc on Linux), or "".
std::string FindShippedExample() {
  std::vector<std::string> candidates = {"examples/deploy.xml"};
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error)
    candidates.push_back(
        (program.parent_path() / DEZOV_EXAMPLES_FROM_BINDIR / "deploy.xml").lexically_normal().string());
  for (const auto& candidate : candidates) {
    if (fs::is_regular_file(candidate, error)) return candidate;
  }
  return std::string();
}

std::string OrNone(const std::string& answer) { return answer.empty() ? "(none)" : answer; }

// One question in words, the resolver's answer, and the command that asks it.
void Ask(Session& session, const std::string& question, const std::string& answer,
         const std::string& command) {
  session.PrintAsIs("");
  session.Print(question);
  session.Print("   -> " + OrNone(answer));
  session.Print("   $ dezov deploy FILE " + command);
}

void Walk(Session& session, CKdDeploy& resolver) {
  std::string yyb = "0101";
  std::string jys = "1";
  const std::string list = resolver.GetMulTradeDomain(yyb, jys);
  const std::string first = resolver.GetTradeDomain(yyb, jys);
  Ask(session, "1. Which trade domains serve YYB key " + yyb + " with JYS key " + jys + "?",
      list.empty() ? list : list + "  (the first, " + OrNone(first) + ", is asked first)",
      "trade " + yyb + " " + jys);

  std::string next;
  resolver.GetNextQueryDomain(yyb, jys, first, next);
  Ask(session, "2. " + OrNone(first) + " does not answer: which trade domain is queried next?",
      next, "next-query " + yyb + " " + jys + " " + first);

  const std::string day = "20060315";
  Ask(session, "3. Which history domain holds YYB key " + yyb + "'s records of " + day + "?",
      resolver.GetHistoryDomain(yyb, day, day, ""), "history " + yyb + " " + day + " " + day);
}

int RunDemo(Session& session, const DemoArgs& args) {
  std::unique_ptr<TemporaryExample> builtin;
  std::string file = args.builtin ? std::string() : args.file;
  if (file.empty() && !args.builtin) file = FindShippedExample();
  if (file.empty()) {
    builtin = std::make_unique<TemporaryExample>();
    session.PrintAsIs("Deployments in the copy of examples/deploy.xml built into dezov (FILE):");
  } else {
    session.PrintAsIs("Deployments in " + file + " (FILE):");
  }
  CXmlIni store;
  OpenXmlFile(store, builtin ? builtin->file() : file);
  CKdDeploy resolver;
  resolver.InitDeloy(&store);

  session.PrintAsIs("");
  for (const auto& line : DeploymentTableLines(resolver))
    session.Print("  " + line);
  session.Print("  " + SchemeText(resolver.GetScheme()));
  Walk(session, resolver);
  return kExitOk;
}

}  // namespace

void AddDemoCommand(CLI::App& app, Session& session) {
  auto args = std::make_shared<DemoArgs>();
  CLI::App* demo =
      AddCommand(app, session, args, "demo",
                 "Walk through the resolver's answers on the shipped example deployment", RunDemo);
  CLI::Option* file = demo->add_option(
      "FILE", args->file, "deployment description to use instead of examples/deploy.xml");
  demo->add_flag("--builtin", args->builtin, "use the copy of the example built into dezov")
      ->excludes(file);
}

}  // namespace tool
}  // namespace dezov
