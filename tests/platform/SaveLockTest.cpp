// SPDX-License-Identifier: MIT
// The save lock always excludes, or the save fails with a reason: savers in
// several processes and threads, while another process keeps removing the
// lock file, beside another user's lock file, and in-place savers of another
// user beside savers by rename; lock files and temporaries planted as FIFOs
// and links; the lock file's permissions; a 255-byte file name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PutFile.h"
#include "platform/FileStamp.h"
#include "platform/Platform.h"
#include "platform/SaveFileNames.h"
#include "platform/SaveProtocol.h"
#include "OtherUsers.h"
#include "SaveTestNames.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using platform::DiskState;
using platform::FileStamp;
using namespace testing_support;

namespace {

// Adds keys to a file of lines as a store would: its own last content when
// nobody changed the file, else what is on disk, with the key appended.
class KeyWriter {
 public:
  explicit KeyWriter(std::string path) : path_(std::move(path)) {}
  Status Add(const std::string& key) {
    std::string rendered;
    const Status status = platform::SaveLocked(
        path_, stamp_,
        [&](const DiskState& state, std::string& out) {
          out = (state.kind == DiskState::kChanged   ? state.bytes
                 : state.kind == DiskState::kRemoved ? std::string()
                                                     : known_) +
                key + "\n";
          rendered = out;
          return Status::Ok();
        },
        stamp_);
    if (status.ok()) known_ = rendered;
    return status;
  }

 private:
  std::string path_;
  FileStamp stamp_;
  std::string known_;
};

std::set<std::string> LinesOf(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

// What the savers of one run report.
struct Outcome {
  std::set<std::string> confirmed;  // keys whose saves returned ok
  int failed = 0;
  std::string reason;  // the first failure's message
};

// Runs `processes` processes of `threads` threads, each adding `saves` keys
// to path; process i first calls prepare(i) (e.g. to become another user).
// Each process reports through a file in results.
Outcome RunSavers(const std::string& path, const TempDir& results, int processes, int threads,
                  int saves, const std::function<bool(int)>& prepare) {
  const int clean = RunInChildren(
      processes,
      [&](int process) {
        if (!prepare(process)) return 2;
        std::vector<std::string> reports(static_cast<std::size_t>(threads));
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
          workers.emplace_back([&, t] {
            KeyWriter writer(path);
            std::string& report = reports[static_cast<std::size_t>(t)];
            for (int n = 0; n < saves; ++n) {
              const std::string key = "p" + std::to_string(process) + "t" + std::to_string(t) +
                                      "n" + std::to_string(n);
              const Status status = writer.Add(key);
              report += (status.ok() ? "ok " + key : "failed " + status.message()) + "\n";
            }
          });
        }
        for (std::thread& worker : workers) worker.join();
        std::ofstream out(results.File("process" + std::to_string(process)));
        for (const std::string& report : reports) out << report;
        return out ? 0 : 1;
      },
      std::chrono::seconds(120));
  EXPECT_EQ(clean, processes);
  Outcome outcome;
  for (int process = 0; process < processes; ++process) {
    std::istringstream in(ReadBytes(results.File("process" + std::to_string(process))));
    for (std::string line; std::getline(in, line);) {
      if (line.compare(0, 3, "ok ") == 0) {
        outcome.confirmed.insert(line.substr(3));
      } else {
        if (outcome.failed++ == 0) outcome.reason = line;
      }
    }
  }
  return outcome;
}

// Every key a save confirmed is in the file.
void ExpectNoConfirmedKeyLost(const std::string& path, const Outcome& outcome) {
  const std::set<std::string> onDisk = LinesOf(ReadBytes(path));
  int lost = 0;
  for (const std::string& key : outcome.confirmed) lost += onDisk.count(key) == 0;
  EXPECT_EQ(lost, 0) << "of " << outcome.confirmed.size() << " confirmed keys";
}

constexpr int kProcesses = 4, kThreads = 2, kSaves = 100;  // 800 saves a run

unsigned ModeOfPath(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

}  // namespace

TEST(SaveExclusion, NoConfirmedSaveIsLostAndNothingIsLeftBehind) {
  TempDir dir, results;
  const std::string path = dir.File("app.ini");
  const Outcome outcome =
      RunSavers(path, results, kProcesses, kThreads, kSaves, [](int) { return true; });
  EXPECT_EQ(outcome.failed, 0) << outcome.reason;
  EXPECT_EQ(outcome.confirmed.size(), static_cast<std::size_t>(kProcesses * kThreads * kSaves));
  ExpectNoConfirmedKeyLost(path, outcome);
  EXPECT_EQ(dir.EntryCount(), 1);  // no lock file, no temporary
}

// Another process removes the lock file every 0.5 ms: the saves still
// exclude each other (through the lock on the file itself, and a new file
// that only appears where nothing is), so no confirmed key is lost.
TEST(SaveExclusion, ALockFileRemovedUnderTheSaversLosesNothing) {
  TempDir dir, results;
  const std::string path = dir.File("app.ini");
  const std::string lockFile = platform::LockFileOf(path);
  const pid_t remover = ::fork();
  ASSERT_GE(remover, 0);
  if (remover == 0) {
    for (int round = 0; round < 240000; ++round) {  // a minute at most
      ::unlink(lockFile.c_str());
      ::usleep(500);
    }
    ::_exit(0);
  }
  const Outcome outcome =
      RunSavers(path, results, kProcesses, kThreads, kSaves, [](int) { return true; });
  ::kill(remover, SIGKILL);
  ::waitpid(remover, nullptr, 0);
  EXPECT_GT(outcome.confirmed.size(), 0u) << outcome.reason;
  ExpectNoConfirmedKeyLost(path, outcome);
  EXPECT_LE(dir.EntryCount(), 1);
}

// Another user's lock file that these savers may not open: every save fails
// with that reason and the file stays as it was.
TEST(SaveExclusion, AnotherUsersLockFileFailsEverySave) {
  if (!IsRoot()) GTEST_SKIP() << "needs root, to plant another user's lock file";
  TempDir dir, results;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(results.path().c_str(), 0777), 0);
  const std::string path = dir.File("app.ini");
  WriteBytes(path, "old\n");
  ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  const std::string lockFile = platform::LockFileOf(path);
  WriteBytes(lockFile, "");
  ASSERT_EQ(::chmod(lockFile.c_str(), 0600), 0);  // root's
  const Outcome outcome = RunSavers(path, results, kProcesses, kThreads, kSaves,
                                    [](int) { return BecomeUser(kOtherUser, kOtherGroup); });
  EXPECT_EQ(outcome.confirmed.size(), 0u);
  EXPECT_EQ(outcome.failed, kProcesses * kThreads * kSaves);
  EXPECT_NE(outcome.reason.find(platform::NameOf(lockFile)), std::string::npos) << outcome.reason;
  EXPECT_NE(outcome.reason.find(std::strerror(EACCES)), std::string::npos) << outcome.reason;
  EXPECT_EQ(ReadBytes(path), "old\n");
  EXPECT_EQ(dir.EntryCount(), 2);  // the file and the planted lock file
}

// Savers of another user who cannot create files in the directory rewrite the
// file in place, while root's savers replace it by rename: they exclude each
// other through the lock on the file itself.
TEST(SaveExclusion, InPlaceSaversAndSaversByRenameExcludeEachOther) {
  if (!IsRoot()) GTEST_SKIP() << "needs root, to save as another user";
  TempDir dir, results;
  ASSERT_EQ(::chmod(results.path().c_str(), 0777), 0);
  const std::string path = dir.File("app.ini");
  WriteBytes(path, "");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  const Outcome outcome = RunSavers(path, results, kProcesses, kThreads, kSaves, [](int process) {
    return process % 2 == 0 || BecomeUser(kOtherUser, kOtherGroup);
  });
  EXPECT_EQ(outcome.failed, 0) << outcome.reason;
  ExpectNoConfirmedKeyLost(path, outcome);
  EXPECT_EQ(ModeOfPath(path), 0666u);
  EXPECT_EQ(dir.EntryCount(), 1);
}

// The lock file lets in those who may write the file and no one else,
// whatever the umask; a new file's lock file follows the umask as the file does.
TEST(SaveExclusion, TheLockFileTakesTheFilesWritePermissions) {
  const mode_t umaskBefore = ::umask(077);
  const struct {
    unsigned file, lock;
  } cases[] = {{0644, 0600}, {0600, 0600}, {0640, 0600}, {0664, 0660}, {0666, 0666}, {0622, 0666}};
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("app.ini");
    WriteBytes(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), c.file), 0);
    unsigned seen = 0;
    FileStamp stamp, written;
    ASSERT_TRUE(platform::StampFile(path, stamp).ok());
    ASSERT_TRUE(platform::SaveLocked(path, stamp,
                                     [&](const DiskState&, std::string& out) {
                                       seen = ModeOfPath(platform::LockFileOf(path));
                                       out = "new\n";
                                       return Status::Ok();
                                     },
                                     written)
                    .ok());
    EXPECT_EQ(seen, c.lock) << std::oct << c.file;
    EXPECT_EQ(ModeOfPath(path), c.file);
  }
  ::umask(022);
  TempDir dir;
  std::string reason;
  unsigned seen = 0;
  FileStamp none, written;
  ASSERT_TRUE(platform::SaveLocked(dir.File("new.ini"), none,
                                   [&](const DiskState&, std::string& out) {
                                     seen = ModeOfPath(platform::LockFileOf(dir.File("new.ini")));
                                     out = "x";
                                     return Status::Ok();
                                   },
                                   written)
                  .ok());
  EXPECT_EQ(seen, 0644u);
  ::umask(umaskBefore);
}

// A FIFO or a link at the lock file's name fails the save with a reason; at
// the names of temporaries it is passed over. Nothing blocks (the alarm would
// end the test program) and nothing is created where a link points.
TEST(SaveExclusion, PlantedFifosAndLinksNeitherBlockNorRedirect) {
  ::alarm(60);
  TempDir dir, elsewhere;
  const std::string path = dir.File("app.ini");
  const std::string victim = elsewhere.File("victim");
  const std::string lockFile = platform::LockFileOf(path);
  WriteBytes(path, "old\n");
  std::string reason;
  ASSERT_EQ(::mkfifo(lockFile.c_str(), 0666), 0);
  EXPECT_FALSE(dezov::PutFileBytes(path, "new\n", {}, reason));
  EXPECT_NE(reason.find("no regular file"), std::string::npos) << reason;
  ASSERT_EQ(::unlink(lockFile.c_str()), 0);
  for (const std::string& target : {victim, elsewhere.path()}) {
    ASSERT_EQ(::symlink(target.c_str(), lockFile.c_str()), 0);
    EXPECT_FALSE(dezov::PutFileBytes(path, "new\n", {}, reason));
    EXPECT_NE(reason.find(platform::NameOf(lockFile)), std::string::npos) << reason;
    ASSERT_EQ(::unlink(lockFile.c_str()), 0);
  }
  EXPECT_EQ(ReadBytes(path), "old\n");
  EXPECT_EQ(dir.EntryCount(), 1);
  EXPECT_EQ(elsewhere.EntryCount(), 0);

  // At the names of a dead writer's temporaries: the sweep leaves them.
  const std::string fifo = TemporaryPath(path, "4000000", "1");
  const std::string link = TemporaryPath(path, "4000000", "2");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  // At the very names the next temporaries take: other names are taken.
  FaultyFileSystem planting;
  planting.unnamedError = EOPNOTSUPP;
  int planted = 0;
  planting.beforeCreate = [&](const std::string& name) {
    if (planted == 0) {
      ASSERT_EQ(::mkfifo(name.c_str(), 0666), 0);
    } else if (planted == 1) {
      ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
    }
    ++planted;
  };
  {
    platform::ScopedFileSystem installed(planting);
    for (int round = 0; round < 2; ++round)
      EXPECT_TRUE(dezov::PutFileBytes(path, "new\n", {}, reason)) << reason;
  }
  EXPECT_EQ(ReadBytes(path), "new\n");
  EXPECT_GE(planted, 4);                // two names passed over, then one per save
  EXPECT_EQ(dir.EntryCount(), 5);       // the file and the four planted
  EXPECT_EQ(elsewhere.EntryCount(), 0);
  struct stat info;
  EXPECT_TRUE(::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode));
  ::alarm(0);
}

// A file whose name takes all 255 bytes a name may have saves, its lock file
// and temporaries named within the limit too.
TEST(SaveExclusion, AFileWithA255ByteNameSaves) {
  TempDir dir;
  const std::string name = "\xc5\xe4\xd6\xc3" + std::string(247, 'n') + ".ini";  // GBK, then ASCII
  ASSERT_EQ(name.size(), 255u);
  const std::string path = dir.File(name);
  KeyWriter writer(path);
  for (int n = 0; n < 3; ++n) ASSERT_TRUE(writer.Add("k" + std::to_string(n)).ok());
  std::string reason;
  ASSERT_TRUE(dezov::PutFileBytes(path, "k=v\n", {}, reason)) << reason;
  EXPECT_EQ(ReadBytes(path), "k=v\n");
  EXPECT_EQ(dir.EntryCount(), 1);
  ASSERT_TRUE(dezov::RemoveFileLocked(path, reason)) << reason;
  EXPECT_EQ(dir.EntryCount(), 0);
}
