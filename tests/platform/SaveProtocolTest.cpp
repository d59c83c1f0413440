// SPDX-License-Identifier: MIT
// The save protocol: what a store is told about its file under the lock, the
// lock itself across handles, threads and processes, exclusive creation, and
// saves under faults the seam injects, killed writers, temporary-file
// permissions, the in-place fallback and the removal of stale temporaries.
// Built for both systems; the tests that fork, link or set modes are POSIX only.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileRead.h"
#include "platform/SaveFileNames.h"
#include "platform/SaveProtocol.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"
#include "SaveTestNames.h"

namespace platform = dezov::platform;
using dezov::Status;
using platform::DiskState;
using platform::FileStamp;
using namespace testing_support;

namespace {

// A private directory and the file the saves go to.
class SaveTest : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string path = dir.File("app.ini");
};
using CreateExclusive = SaveTest;
using SaveFaults = SaveTest;
using SaveLock = SaveTest;
using SaveProtocol = SaveTest;

// Saves text, recording what the protocol reported.
struct Saver {
  Status Save(const std::string& path, const std::string& text, int timeoutMs = 10000) {
    return platform::SaveLocked(
        path, stamp,
        [&](const DiskState& state, std::string& out) {
          seen = state;
          out = text;
          return Status::Ok();
        },
        stamp, timeoutMs);
  }
  FileStamp stamp;
  DiskState seen;
};

}  // namespace

TEST_F(SaveProtocol, ReportsEachKindOfChangeOnDisk) {
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "one\n").ok());  // nothing read, nothing there
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);
  FileStamp now;
  ASSERT_TRUE(platform::StampFile(path, now).ok());
  EXPECT_EQ(saver.stamp, now);  // the stamp of what was written

  ASSERT_TRUE(saver.Save(path, "two\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);

  // Appended in place, rewritten with the same size, replaced by a rename.
  AppendBytes(path, "x=1\n");
  ASSERT_TRUE(saver.Save(path, "three\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kChanged);
  EXPECT_EQ(saver.seen.bytes, "two\nx=1\n");
  ReplaceByRename(path, "other!\n");
  ASSERT_TRUE(saver.Save(path, "four\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kChanged);
  EXPECT_EQ(saver.seen.bytes, "other!\n");

  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_TRUE(saver.Save(path, "five\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kRemoved);
  EXPECT_EQ(ReadBytes(path), "five\n");

  // A render that fails writes nothing.
  const Status refused = platform::SaveLocked(
      path, saver.stamp,
      [](const DiskState&, std::string& out) {
        out = "never";
        return Status::Corrupt("cannot merge");
      },
      saver.stamp);
  EXPECT_EQ(refused.code(), Status::Code::kCorrupt);
  EXPECT_EQ(ReadBytes(path), "five\n");
}

// Another handle on the lock file holds the lock, as another process would;
// then the seam reports it held.
TEST_F(SaveLock, AHeldLockTimesOutWithNothingWritten) {
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "old\n").ok());
  {
    platform::OpenFile holder;
    platform::FileSystem& fileSystem = platform::FileSystem::Default();
    ASSERT_EQ(fileSystem.Open(platform::LockFileOf(path), platform::FileSystem::OpenKind::kCreateLockFile,
                              0666, holder.Receive()),
              0);
    ASSERT_EQ(fileSystem.TryLock(holder.get()), 0);
    const Status waited = saver.Save(path, "mine\n", 200);
    EXPECT_TRUE(waited.IsLocked()) << waited.message();
    EXPECT_NE(waited.message().find("app.ini"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), "old\n");
  }
  EXPECT_TRUE(saver.Save(path, "mine\n", 200).ok());  // closing the handle released it
  EXPECT_EQ(dir.EntryCount(), 1);                      // and the save removed the lock file
  FaultyFileSystem faulty;
  faulty.lockHeld = true;
  platform::ScopedFileSystem installed(faulty);
  EXPECT_TRUE(saver.Save(path, "late\n", 50).IsLocked());
  EXPECT_EQ(ReadBytes(path), "mine\n");
}

// A full disk keeps the old file and leaves no temporary; the next save
// removes a temporary whose writer is gone (4000000 is no live process id).
TEST_F(SaveFaults, DiskFullKeepsTheOldFileAndStaleTemporariesGo) {
  WriteBytes(path, "old\n");
  {
    FaultyFileSystem full;
    full.failAfterBytes = 0;
    platform::ScopedFileSystem installed(full);
    const Status status = Saver().Save(path, std::string(10000, 'n'));
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("app.ini"), std::string::npos) << status.message();
  }
  EXPECT_EQ(ReadBytes(path), "old\n");
  EXPECT_EQ(dir.EntryCount(), 1);
  const std::string stale = TemporaryPath(path, "4000000");
  WriteBytes(stale, "partial");
  ASSERT_TRUE(Saver().Save(path, "new\n").ok());
  EXPECT_FALSE(Exists(stale));
  // A copy kept after a failed replacement (Windows) is not a temporary.
  WriteBytes(stale + ".old", "old content");
  ASSERT_TRUE(Saver().Save(path, "newer\n").ok());
  EXPECT_TRUE(Exists(stale + ".old"));
}

TEST_F(CreateExclusive, CreatesOnceAndNeverOverwrites) {
  ASSERT_TRUE(platform::CreateFileExclusive(path, "first").ok());
  const Status again = platform::CreateFileExclusive(path, "second");
  EXPECT_TRUE(again.IsAlreadyExists()) << again.message();
  EXPECT_EQ(ReadBytes(path), "first");
  EXPECT_EQ(dir.EntryCount(), 1);
}

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Saves text over the file as it is now.
Status Save(const std::string& path, const std::string& text) {
  Saver saver;
  (void)platform::StampFile(path, saver.stamp);
  return saver.Save(path, text);
}

ino_t InodeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace

TEST_F(SaveProtocol, FollowsSymbolicLinksAndStampsWhatWasRead) {
  WriteBytes(dir.File("real.ini"), "a=1\n");
  ASSERT_EQ(::symlink("real.ini", dir.File("link.ini").c_str()), 0);
  std::string bytes;
  Saver saver;
  ASSERT_TRUE(platform::ReadWholeFile(dir.File("link.ini"), bytes, &saver.stamp).ok());
  ASSERT_TRUE(saver.Save(dir.File("link.ini"), "a=2\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);
  struct stat info;
  ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadBytes(dir.File("real.ini")), "a=2\n");
  EXPECT_EQ(dir.EntryCount(), 2);  // the link and the file: no lock file stays

  // A file with two names: the name saved gets a new file, the other keeps the old one.
  ASSERT_EQ(::link(dir.File("real.ini").c_str(), dir.File("second.ini").c_str()), 0);
  ASSERT_TRUE(Save(dir.File("link.ini"), "a=3\n").ok());
  EXPECT_EQ(ReadBytes(dir.File("real.ini")), "a=3\n");
  EXPECT_EQ(ReadBytes(dir.File("second.ini")), "a=2\n");
}

// The OS drops the lock of a holder that was killed in the middle of its save.
TEST_F(SaveLock, AKilledHoldersLockIsReleased) {
  WriteBytes(path, "old\n");
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    FileStamp stamp;
    (void)platform::SaveLocked(path, stamp,
                               [&](const DiskState&, std::string&) {
                                 WriteBytes(dir.File("holding"), "");
                                 for (;;) ::pause();  // until killed
                                 return Status::Ok();
                               },
                               stamp);
    ::_exit(0);
  }
  for (int wait = 0; wait < 5000 && !Exists(dir.File("holding")); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Saver saver;
  EXPECT_TRUE(saver.Save(path, "mine\n", 100).IsLocked());
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(saver.Save(path, "mine\n", 5000).ok());
  EXPECT_EQ(ReadBytes(path), "mine\n");
}

// Several processes create the same missing file at once, some through
// unnamed temporaries, some through named ones: exactly one wins (and marks
// it), and a reader (the last child, which starts the others) never sees the
// file incomplete.
TEST_F(CreateExclusive, ExactlyOneCompleteFileFromConcurrentCreators) {
  constexpr int kCreators = 5;
  constexpr std::size_t kSize = 300000;
  for (int round = 0; round < 6; ++round) {
    TempDir dir;
    const std::string path = dir.File("new.xml");
    FaultyFileSystem named;
    named.unnamedError = EOPNOTSUPP;
    const int clean = RunInChildren(
        kCreators + 1,
        [&](int i) {
          if (i == kCreators) {  // the reader
            WriteBytes(dir.File("go"), "");
            int partial = 0;
            for (int look = 0; look < 2000; ++look) {
              std::string bytes;
              partial += platform::ReadWholeFile(path, bytes).ok() && bytes.size() != kSize;
            }
            return partial == 0 ? 0 : 1;
          }
          while (!Exists(dir.File("go"))) std::this_thread::yield();
          platform::FileSystem& fileSystem = platform::FileSystem::Default();
          platform::ScopedFileSystem installed(round % 2 == 1 ? named : fileSystem);
          const Status status = platform::CreateFileExclusive(path, std::string(kSize, 'a' + i));
          if (status.ok()) WriteBytes(dir.File("won" + std::to_string(i)), "");
          return status.ok() || status.IsAlreadyExists() ? 0 : 1;
        },
        std::chrono::seconds(60));
    EXPECT_EQ(clean, kCreators + 1);
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), kSize);
    EXPECT_EQ(bytes.find_first_not_of(bytes[0]), std::string::npos);
    EXPECT_EQ(dir.EntryCount(), 3);  // the file, "go" and one winner's mark
  }
}

// Each fault, with unnamed and with named temporaries: the old file stays
// byte for byte and no temporary is left; interruptions and short writes
// alone are carried through.
TEST_F(SaveFaults, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string old(5000, 'o');
  const std::string fresh(70000, 'n');
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporary" : "unnamed temporary");
    struct Fault {
      const char* name;
      void (*apply)(FaultyFileSystem&);
    };
    const Fault faults[] = {
        {"disk full part way", [](FaultyFileSystem& f) { f.failAfterBytes = 4096; }},
        {"disk full at once", [](FaultyFileSystem& f) { f.failAfterBytes = 0; }},
        {"too large", [](FaultyFileSystem& f) { f.failAfterBytes = 100, f.writeError = EFBIG; }},
        {"flush fails", [](FaultyFileSystem& f) { f.syncError = EIO; }},
        {"rename fails", [](FaultyFileSystem& f) { f.renameError = EXDEV; }},
    };
    for (const Fault& fault : faults) {
      SCOPED_TRACE(fault.name);
      TempDir dir;
      const std::string path = dir.File("app.ini");
      WriteBytes(path, old);
      FaultyFileSystem faulty;
      if (named) faulty.unnamedError = EOPNOTSUPP;
      fault.apply(faulty);
      {
        platform::ScopedFileSystem installed(faulty);
        EXPECT_FALSE(Save(path, fresh).ok());
        EXPECT_FALSE(platform::PutLocked(path, fresh, {}).ok());
      }
      EXPECT_EQ(ReadBytes(path), old);
      EXPECT_EQ(dir.EntryCount(), 1);  // no temporary left
    }
    TempDir dir;
    const std::string path = dir.File("app.ini");
    WriteBytes(path, old);
    FaultyFileSystem slow;
    if (named) slow.unnamedError = EOPNOTSUPP;
    slow.writeLimit = 333;
    slow.interrupt = true;
    platform::ScopedFileSystem installed(slow);
    ASSERT_TRUE(Save(path, fresh).ok());
    EXPECT_EQ(ReadBytes(path), fresh);
    std::string read;
    ASSERT_TRUE(platform::ReadWholeFile(path, read).ok());
    EXPECT_EQ(read, fresh);
  }
}

// A 0600 file's temporary is never open to others, from its first byte,
// whatever the umask; a new file gets the usual 0666 less the umask.
TEST(SaveModes, TemporariesNeverHaveWiderPermissionsThanTheTarget) {
  const mode_t umaskBefore = ::umask(0);
  for (const unsigned targetMode : {0600u, 0640u}) {
    for (const bool named : {false, true}) {
      TempDir dir;
      const std::string path = dir.File("secret.ini");
      WriteBytes(path, "old\n");
      ASSERT_EQ(::chmod(path.c_str(), targetMode), 0);
      FaultyFileSystem watching;
      if (named) watching.unnamedError = EOPNOTSUPP;
      std::vector<unsigned> seen;
      watching.observe = [&](platform::NativeFile file) { seen.push_back(ModeOf(file)); };
      {
        platform::ScopedFileSystem installed(watching);
        ASSERT_TRUE(Save(path, std::string(100000, 's')).ok());
      }
      ASSERT_FALSE(seen.empty());
      for (unsigned mode : seen) EXPECT_EQ(mode & ~targetMode, 0u) << std::oct << mode;
      struct stat info;
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, targetMode);
    }
  }
  ::umask(022);
  TempDir dir;
  ASSERT_TRUE(Save(dir.File("new.ini"), "x").ok());
  struct stat info;
  ASSERT_EQ(::stat(dir.File("new.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
  ::umask(umaskBefore);
}

// Where the directory takes no new file but the file is writable, the save
// rewrites it in place (the same inode) under a lock on the file itself. The
// seam refuses the creation, so this runs as root too; a real read-only
// directory is tried where the test does not run as root.
TEST_F(SaveFaults, ADirectoryThatTakesNoNewFileIsRewrittenInPlace) {
  WriteBytes(path, "old\n");
  const ino_t inode = InodeOf(path);
  FaultyFileSystem refusing;
  refusing.createError = EACCES;
  {
    platform::ScopedFileSystem installed(refusing);
    ASSERT_TRUE(Save(path, "new\n").ok());
    EXPECT_EQ(ReadBytes(path), "new\n");
    ASSERT_TRUE(platform::PutLocked(path, "newer\n", {}).ok());
    EXPECT_TRUE(platform::CreateFileExclusive(dir.File("other"), "x").code() == Status::Code::kIOError);
  }
  EXPECT_EQ(ReadBytes(path), "newer\n");
  EXPECT_EQ(InodeOf(path), inode);
  EXPECT_EQ(dir.EntryCount(), 1);  // not even a lock file

  if (::geteuid() == 0) return;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  const Status status = Save(path, "in place\n");
  EXPECT_FALSE(Save(dir.File("missing.ini"), "x").ok());
  ::chmod(dir.path().c_str(), 0755);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(ReadBytes(path), "in place\n");
  EXPECT_EQ(InodeOf(path), inode);
}

// A target replaced by a directory after it was read, or one whose directory
// went away, fails the save and leaves nothing behind.
TEST_F(SaveFaults, ATargetTurnedDirectoryOrWithoutItsDirectoryFails) {
  WriteBytes(path, "old\n");
  FileStamp stamp;
  ASSERT_TRUE(platform::StampFile(path, stamp).ok());
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  const auto render = [](const DiskState&, std::string& out) {
    out = "new\n";
    return Status::Ok();
  };
  EXPECT_FALSE(platform::SaveLocked(path, stamp, render, stamp).ok());
  EXPECT_FALSE(Save(dir.File("gone/app.ini"), "new\n").ok());
  EXPECT_EQ(dir.EntryCount(), 1);
}

// A save removes named temporaries whose writers are gone, and only those.
TEST_F(SaveFaults, OnlyThoseOfDeadWritersAreRemoved) {
  WriteBytes(path, "old\n");
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string me = std::to_string(::getpid());
  const std::string dead = TemporaryPath(path, std::to_string(gone));
  const std::string heldByLiveWriter = TemporaryPath(path, me, "2");
  const std::string justCreated = TemporaryPath(path, me, "3");
  const std::string notOurs = TemporaryPath(path, "keep");
  const std::string otherFile = TemporaryPath(dir.File("other.ini"), std::to_string(gone));
  for (const std::string& file : {dead, heldByLiveWriter, justCreated, notOurs, otherFile})
    WriteBytes(file, "partial");
  const int held = ::open(heldByLiveWriter.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_TRUE(Save(path, "new\n").ok());
  ::close(held);
  EXPECT_FALSE(Exists(dead));
  EXPECT_TRUE(Exists(heldByLiveWriter));
  EXPECT_TRUE(Exists(justCreated));  // its writer lives and may lock it yet
  EXPECT_TRUE(Exists(notOurs));
  EXPECT_TRUE(Exists(otherFile));
}

// 100 writers killed at random moments of their saves, half of them with
// named temporaries: the file is always one whole version, and the next save
// leaves no temporary file behind.
TEST_F(SaveFaults, LeaveAWholeFileAndNoTemporaryAfterTheNextSave) {
  constexpr std::size_t kSize = 200000;
  WriteBytes(path, std::string(kSize, 'a'));
  std::mt19937 random(7);
  FaultyFileSystem named;
  named.unnamedError = EOPNOTSUPP;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int kill = 0; kill < 100 && std::chrono::steady_clock::now() < deadline; ++kill) {
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      platform::FileSystem& real = platform::FileSystem::Default();
      platform::ScopedFileSystem installed(kill % 2 == 1 ? named : real);
      for (int round = 0;; ++round) (void)Save(path, std::string(kSize, 'b' + round % 20));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), kSize) << "after kill " << kill;
    ASSERT_EQ(bytes.find_first_not_of(bytes[0]), std::string::npos) << "after kill " << kill;
  }
  ASSERT_TRUE(Save(path, "final\n").ok());
  EXPECT_EQ(dir.EntryCount(), 1);  // no temporary left
  EXPECT_EQ(ReadBytes(path), "final\n");
}
#endif  // _WIN32
