// dezov put FILE: replaces FILE with standard input, the step a sync job runs
// for each new version of a configuration file. The content is checked first
// (an XML file must open as a configuration store and, when it describes
// deployments, pass their check without errors), and the replacement is atomic and
// takes the stores' save lock, so a program saving the file at the same time
// never interleaves with it. Content that fails the check leaves FILE as it was.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "Commands.h"
#include "DeployCheck.h"
#include "Session.h"
#include "ToolError.h"
#include "XmlIni.h"
#include "platform/SaveProtocol.h"
#include "platform/StandardInput.h"

namespace dezov {
namespace tool {
namespace {

bool HasXmlExtension(const std::string& file) {
  const std::string extension = std::filesystem::path(file).extension().string();
  return extension.size() == 4 && std::equal(extension.begin(), extension.end(), ".xml",
                                             [](char a, char b) {
                                               return std::tolower(static_cast<unsigned char>(a)) == b;
                                             });
}

// A private copy of bytes in the temporary directory, for the store to parse;
// removed again when it goes out of scope.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const std::string& bytes) {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) throw Failure("no temporary directory: " + error.message());
    std::random_device entropy;
    for (int attempt = 0; attempt < 20 && path_.empty(); ++attempt) {
      const std::string candidate =
          (directory / ("dezov-put-" + std::to_string(entropy()) + ".xml")).string();
      const Status created = platform::CreateFileExclusive(candidate, bytes);
      if (created.ok()) path_ = candidate;
      else if (!created.IsAlreadyExists()) throw Failure(created.message());
    }
    if (path_.empty()) throw Failure("cannot create a temporary file in " + directory.string());
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;
  ~TemporaryCopy() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Throws the reason why bytes cannot replace the XML configuration file file:
// no configuration store, or a deployment description with errors (each named
// in the form of dezov deploy FILE check, lines counted in the new content).
void CheckXml(const Session& session, const std::string& bytes, const std::string& file) {
  const TemporaryCopy copy(bytes);
  CXmlIni store;
  if (!store.Open(copy.path().c_str()))
    throw Failure(file + ": the new content is no XML configuration file (root element vornini): " +
                  store.GetLastErrMsg());
  if (!store.HaveNode("DEPLOY")) return;
  std::string errors;
  int count = 0;
  for (const DeployFinding& finding : CheckDeployment(store)) {
    if (finding.severity != DeployFinding::kError) continue;
    errors += "\n" + file + session.Shown(FormatFinding("", finding));
    ++count;
  }
  if (count > 0)
    throw Failure(file + ": the new deployment description has " + std::to_string(count) +
                  (count == 1 ? " error:" : " errors:") + errors);
}

// Throws the reason why bytes cannot replace the INI file file.
void CheckIni(const std::string& bytes, const std::string& file) {
  if (bytes.find('\0') != std::string::npos)
    throw Failure(file + ": the new content holds NUL bytes, so it is no INI file");
}

int Put(const Session& session, const std::string& file) {
  std::string bytes;
  const Status read = platform::ReadStandardInput(bytes);
  if (!read.ok()) throw Failure(read.message());
  // An empty input is what a sync job sends for a deleted key: never a configuration.
  if (bytes.empty()) throw Failure(file + ": standard input is empty");
  if (HasXmlExtension(file)) {
    CheckXml(session, bytes, file);
  } else {
    CheckIni(bytes, file);
  }
  platform::FileStamp before;
  platform::FileStamp written;
  (void)platform::StampFile(file, before);
  const Status saved = platform::SaveLocked(
      file, before,
      [&bytes](const platform::DiskState&, std::string& out) {
        out = bytes;
        return Status::Ok();
      },
      written);
  if (!saved.ok()) throw Failure(saved.message() + " (" + file + " is unchanged)");
  return kExitOk;
}

}  // namespace

void AddPutCommand(CLI::App& app, Session& session) {
  auto file = std::make_shared<std::string>();
  CLI::App* put = app.add_subcommand(
      "put", "Replace FILE with standard input, atomically and under the stores' save lock, "
             "after checking it (an XML file must open and, with a section DEPLOY, pass dezov deploy "
             "check without errors); exit status 2 and FILE unchanged when the check fails");
  put->add_option("FILE", *file, "the XML or INI configuration file to replace")->required();
  put->callback([&session, file] { session.action = [&session, file] { return Put(session, *file); }; });
}

}  // namespace tool
}  // namespace dezov
