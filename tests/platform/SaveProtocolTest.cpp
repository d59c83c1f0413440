// The save protocol: what a store is told about its file under the lock, the
// lock itself across threads and processes, and exclusive creation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "FaultyFileSystem.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"
#include "support/ChildProcesses.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using platform::DiskState;
using platform::FileStamp;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

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

// Waits for a child process and gives its exit code (-1 when it did not exit).
int ExitCodeOf(pid_t child) {
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(SaveProtocol, ReportsEachKindOfChangeOnDisk) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "one\n").ok());  // nothing read, nothing there
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);
  FileStamp now;
  ASSERT_TRUE(platform::StampFile(path, now).ok());
  EXPECT_EQ(saver.stamp, now);  // the stamp of what was written

  ASSERT_TRUE(saver.Save(path, "two\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);

  // Appended in place, rewritten with the same size, replaced by a rename.
  { std::FILE* f = std::fopen(path.c_str(), "ab"); std::fputs("x=1\n", f); std::fclose(f); }
  ASSERT_TRUE(saver.Save(path, "three\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kChanged);
  EXPECT_EQ(saver.seen.bytes, "two\nx=1\n");
  WriteBytes(dir.File("edited"), "other!\n");
  ASSERT_EQ(::rename(dir.File("edited").c_str(), path.c_str()), 0);
  ASSERT_TRUE(saver.Save(path, "four\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kChanged);
  EXPECT_EQ(saver.seen.bytes, "other!\n");

  ASSERT_EQ(::unlink(path.c_str()), 0);
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

TEST(SaveProtocol, FollowsSymbolicLinksAndStampsWhatWasRead) {
  TempDir dir;
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
  EXPECT_TRUE(testing_support::Exists(dir.File(".real.ini.lock")));
}

// Each saver adds one to a number; the lock must make every addition count,
// between threads (each its own open lock file) and between processes.
TEST(SaveLock, NoSaveIsLostBetweenProcessesAndThreads) {
  TempDir dir;
  const std::string path = dir.File("count");
  constexpr int kProcesses = 3, kThreads = 2, kSaves = 30;
  auto work = [&] {
    FileStamp stamp;
    long last = 0;
    for (int i = 0; i < kSaves; ++i) {
      const Status status = platform::SaveLocked(
          path, stamp,
          [&](const DiskState& state, std::string& out) {
            const long base = state.kind == DiskState::kChanged ? std::stol(state.bytes) : last;
            last = base + 1;
            out = std::to_string(last);
            return Status::Ok();
          },
          stamp);
      if (!status.ok()) return false;
    }
    return true;
  };
  const int succeeded = testing_support::RunInChildren(
      kProcesses,
      [&](int) {
        std::vector<std::thread> threads;
        std::vector<char> results(kThreads, 0);
        for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { results[t] = work(); });
        for (std::thread& thread : threads) thread.join();
        return std::count(results.begin(), results.end(), 1) == kThreads ? 0 : 1;
      },
      std::chrono::seconds(120));
  EXPECT_EQ(succeeded, kProcesses);
  EXPECT_EQ(ReadBytes(path), std::to_string(kProcesses * kThreads * kSaves));
}

TEST(SaveLock, AHeldLockTimesOutWithNothingWrittenAndDiesWithItsHolder) {
  TempDir dir;
  const std::string path = dir.File("held.ini");
  WriteBytes(path, "old\n");
  int held[2], release[2];
  ASSERT_EQ(::pipe(held), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    FileStamp stamp;
    (void)platform::SaveLocked(path, stamp,
                               [&](const DiskState&, std::string& out) {
                                 char byte = 'h';
                                 (void)!::write(held[1], &byte, 1);
                                 (void)!::read(release[0], &byte, 1);  // never answered
                                 out = "holder\n";
                                 return Status::Ok();
                               },
                               stamp);
    ::_exit(0);
  }
  char byte;
  ASSERT_EQ(::read(held[0], &byte, 1), 1);
  Saver saver;
  const Status waited = saver.Save(path, "mine\n", 200);
  EXPECT_TRUE(waited.IsLocked()) << waited.message();
  EXPECT_NE(waited.message().find("held.ini"), std::string::npos);
  EXPECT_EQ(ReadBytes(path), "old\n");

  ::kill(holder, SIGKILL);  // the OS drops the dead holder's lock
  EXPECT_EQ(ExitCodeOf(holder), -1);
  EXPECT_TRUE(saver.Save(path, "mine\n", 5000).ok());
  EXPECT_EQ(ReadBytes(path), "mine\n");
  for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);

  // The same through the seam, in this process.
  testing_support::FaultyFileSystem faulty;
  faulty.lockHeld = true;
  platform::ScopedFileSystem installed(faulty);
  EXPECT_TRUE(saver.Save(path, "late\n", 50).IsLocked());
  EXPECT_EQ(ReadBytes(path), "mine\n");
}

// Several processes create the same missing file at once, some through
// unnamed temporaries, some through named ones: exactly one wins, and a
// reader never sees the file incomplete.
TEST(CreateExclusive, ExactlyOneCompleteFileFromConcurrentCreators) {
  constexpr int kCreators = 5;
  constexpr std::size_t kSize = 300000;
  for (int round = 0; round < 6; ++round) {
    TempDir dir;
    const std::string path = dir.File("new.xml");
    testing_support::FaultyFileSystem named;
    named.unnamedError = EOPNOTSUPP;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kCreators; ++i) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::close(start[1]);
        char byte;
        (void)!::read(start[0], &byte, 1);
        platform::FileSystem& fileSystem = platform::FileSystem::Default();
        platform::ScopedFileSystem installed(round % 2 == 1 ? named : fileSystem);
        const Status status = platform::CreateFileExclusive(path, std::string(kSize, 'a' + i));
        ::_exit(status.ok() ? 0 : status.IsAlreadyExists() ? 1 : 2);
      }
      children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);  // all start at once
    int partial = 0;
    for (int look = 0; look < 2000; ++look) {
      std::string bytes;
      if (platform::ReadWholeFile(path, bytes).ok() && bytes.size() != kSize) ++partial;
    }
    int winners = 0, refused = 0;
    for (pid_t child : children) {
      const int code = ExitCodeOf(child);
      winners += code == 0;
      refused += code == 1;
    }
    EXPECT_EQ(winners, 1);
    EXPECT_EQ(refused, kCreators - 1);
    EXPECT_EQ(partial, 0);
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), kSize);
    EXPECT_EQ(bytes.find_first_not_of(bytes[0]), std::string::npos);
    EXPECT_EQ(dir.EntryCount(), 1);
  }
}
