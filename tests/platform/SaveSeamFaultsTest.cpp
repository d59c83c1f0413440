// SPDX-License-Identifier: MIT
// Every call a save makes through the FileSystem seam, made to fail once in
// turn, for each kind of save: the save reports the failure with the file's
// name and the OS's reason; the file keeps its old bytes (once the new content
// has the file's name, it holds the new ones and the failure is still
// reported); nothing is left beside it. Only the close of a file that was
// only read may fail unreported.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "platform/FileStamp.h"
#include "platform/Platform.h"
#include "platform/SaveFileNames.h"
#include "platform/SaveProtocol.h"
#include "SaveTestNames.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using namespace testing_support;

namespace {

const std::string kOld = "[a]\nold=1\n";
const std::string kNew = "[a]\nnew=" + std::string(20000, 'n') + "\n";  // larger than the old

// One save, prepared afresh in an empty directory for each run.
struct Case {
  std::function<Status()> run;
  std::string file;          // the file saved: its content is checked
  std::string asked;         // the name the save was asked for (file, or a link to it)
  bool existed = true;       // it held oldBytes before (else it did not exist)
  std::string oldBytes;
  bool removes = false;      // the save removes it rather than writing newBytes
  bool inPlace = false;      // the new content is written into the file itself
  std::set<std::string> others;  // names that may be beside it: links, a planted temporary
};

struct Scenario {
  const char* name;
  std::function<Case(const TempDir&)> prepare;
  std::function<void(FaultyFileSystem&)> configure;
};

long DeadProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// A save of newBytes over path, which changed after the store read it.
Case SaveOverAChangedFile(const std::string& saved, const std::string& file) {
  Case c;
  c.file = file;
  c.asked = saved;
  c.oldBytes = kOld + "x=1\n";
  platform::FileStamp read;
  EXPECT_TRUE(platform::StampFile(file, read).ok());
  AppendBytes(file, "x=1\n");
  c.run = [saved, read] {
    platform::FileStamp written;
    return platform::SaveLocked(
        saved, read,
        [](const platform::DiskState& state, std::string& out) {
          if (state.kind != platform::DiskState::kChanged) return Status::Invalid("not seen");
          out = kNew;
          return Status::Ok();
        },
        written);
  };
  return c;
}

// The file, 0664, reached through a link, with a dead writer's temporary beside it.
Case LinkedFileWithAStaleTemporary(const TempDir& dir) {
  const std::string real = dir.File("app.ini");
  WriteBytes(real, kOld);
  EXPECT_EQ(::chmod(real.c_str(), 0664), 0);
  EXPECT_EQ(::symlink("app.ini", dir.File("link.ini").c_str()), 0);
  const std::string stale = TemporaryPath(real, std::to_string(DeadProcess()));
  WriteBytes(stale, "partial");
  Case c = SaveOverAChangedFile(dir.File("link.ini"), real);
  c.others = {"link.ini", platform::NameOf(stale)};
  return c;
}

Case PlainFile(const TempDir& dir) {
  WriteBytes(dir.File("app.ini"), kOld);
  Case c = SaveOverAChangedFile(dir.File("app.ini"), dir.File("app.ini"));
  c.inPlace = true;
  return c;
}

Case MissingFile(const TempDir& dir, std::function<Status(const std::string&)> make) {
  Case c;
  c.file = dir.File("app.ini");
  c.existed = false;
  c.run = [make, file = c.file] { return make(file); };
  return c;
}

const Scenario kScenarios[] = {
    {"a save by an unnamed temporary, through a link, sweeping a stale temporary",
     LinkedFileWithAStaleTemporary, [](FaultyFileSystem&) {}},
    {"a save by a named temporary, through a link, sweeping a stale temporary",
     LinkedFileWithAStaleTemporary, [](FaultyFileSystem& f) { f.unnamedError = EOPNOTSUPP; }},
    {"a save in place where the directory takes no lock file", PlainFile,
     [](FaultyFileSystem& f) { f.createError = EACCES; }},
    {"a save in place where the directory takes no temporary", PlainFile,
     [](FaultyFileSystem& f) { f.temporaryError = EACCES; }},
    {"a new file with a mode",
     [](const TempDir& dir) {
       return MissingFile(dir, [](const std::string& file) {
         platform::FileOwnership ownership;
         ownership.mode = 0640;
         return platform::PutLocked(file, kNew, ownership);
       });
     },
     [](FaultyFileSystem&) {}},
    {"an exclusive creation by a named temporary",
     [](const TempDir& dir) {
       return MissingFile(dir, [](const std::string& file) {
         return platform::CreateFileExclusive(file, kNew);
       });
     },
     [](FaultyFileSystem& f) { f.unnamedError = EOPNOTSUPP; }},
    {"a removal",
     [](const TempDir& dir) {
       WriteBytes(dir.File("app.ini"), kOld);
       Case c;
       c.file = dir.File("app.ini");
       c.oldBytes = kOld;
       c.removes = true;
       c.run = [file = c.file] { return platform::RemoveLocked(file); };
       return c;
     },
     [](FaultyFileSystem&) {}},
};

// Whether the calls before the failing one gave the file its new content.
bool NewContentPlaced(const Case& c, const std::vector<FaultyFileSystem::Call>& calls,
                      std::size_t failing) {
  for (std::size_t j = 0; j < failing; ++j) {
    const FaultyFileSystem::Call& call = calls[j];
    if (call.error != 0) continue;
    if ((call.name == "Rename" || call.name == "Link" || call.name == "Remove") && call.path == c.file)
      return true;
    if (c.inPlace && call.name == "Write") return true;
  }
  return false;
}

void ExpectContent(const Case& c, bool placed) {
  if (placed ? c.removes : !c.existed) {
    EXPECT_FALSE(Exists(c.file));
  } else {
    const std::string bytes = ReadBytes(c.file);
    EXPECT_TRUE(bytes == (placed ? kNew : c.oldBytes))
        << (placed ? "not the new content: " : "not the old content: ") << bytes.size() << " bytes";
  }
}

// Nothing beside the file but what was there before (a planted temporary may
// have been swept), and the lock file where its removal was the call that failed.
void ExpectNothingLeft(const TempDir& dir, const Case& c, const FaultyFileSystem::Call* failed) {
  std::set<std::string> allowed = c.others;
  allowed.insert(platform::NameOf(c.file));
  const std::string lockFile = platform::LockFileOf(c.file);
  if (failed != nullptr && failed->name == "Remove" && failed->path == lockFile)
    allowed.insert(platform::NameOf(lockFile));
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(allowed.count(entry.path().filename().string()), 1u) << entry.path();
}

}  // namespace

TEST(SaveSeamFaults, EachCallFailingOnceFailsTheSaveAndKeepsTheFile) {
  const std::string reason = std::strerror(kIoError);
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.name);
    std::size_t callCount = 0;
    {  // Without a fault: the calls to fail, one by one.
      TempDir dir;
      const Case c = scenario.prepare(dir);
      FaultyFileSystem counting;
      scenario.configure(counting);
      Status status;
      {
        platform::ScopedFileSystem installed(counting);
        status = c.run();
      }
      ASSERT_TRUE(status.ok()) << status.message();
      ExpectContent(c, true);
      ExpectNothingLeft(dir, c, nullptr);
      callCount = counting.calls().size();
    }
    for (std::size_t failing = 0; failing < callCount; ++failing) {
      TempDir dir;
      const Case c = scenario.prepare(dir);
      FaultyFileSystem faulty;
      scenario.configure(faulty);
      faulty.failAt = static_cast<int>(failing);
      Status status;
      {
        platform::ScopedFileSystem installed(faulty);
        status = c.run();
      }
      ASSERT_LT(failing, faulty.calls().size()) << "the calls differ from run to run";
      const FaultyFileSystem::Call& failed = faulty.calls()[failing];
      SCOPED_TRACE("call " + std::to_string(failing) + ": " + failed.name + " " + failed.path);
      const bool unreported = failed.name == "Close" && status.ok();
      const bool placed = unreported || NewContentPlaced(c, faulty.calls(), failing);
      if (!unreported) {
        EXPECT_FALSE(status.ok());
        const std::string& message = status.message();
        EXPECT_TRUE(message.find(platform::NameOf(c.file)) != std::string::npos ||
                    (!c.asked.empty() && message.find(platform::NameOf(c.asked)) != std::string::npos))
            << message;
        EXPECT_NE(status.message().find(reason), std::string::npos) << status.message();
      }
      ExpectContent(c, placed);
      ExpectNothingLeft(dir, c, &failed);
    }
  }
}
