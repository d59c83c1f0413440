// Saves under faults the seam injects, killed writers, temporary-file
// permissions, the in-place fallback and the removal of stale temporaries.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/FaultyFileSystem.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using platform::DiskState;
using platform::FileStamp;
using testing_support::FaultyFileSystem;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

Status Save(const std::string& path, const std::string& text) {
  FileStamp stamp;
  (void)platform::StampFile(path, stamp);
  return platform::SaveLocked(
      path, stamp,
      [&](const DiskState&, std::string& out) {
        out = text;
        return Status::Ok();
      },
      stamp);
}

// Names in dir that look like temporary files.
int TemporaryCount(const TempDir& dir) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    count += entry.path().filename().string().find(".tmp") != std::string::npos;
  return count;
}

ino_t InodeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace

// Each fault, with unnamed and with named temporaries: the old file stays
// byte for byte and no temporary is left; interruptions and short writes
// alone are carried through.
TEST(SaveFaults, AFailedWriteLeavesTheOldFileAndNoTemporary) {
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
        EXPECT_FALSE(platform::ReplaceFileContents(path, fresh).ok());
      }
      EXPECT_EQ(ReadBytes(path), old);
      EXPECT_EQ(TemporaryCount(dir), 0);
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
      watching.observe = [&](platform::NativeFile file) { seen.push_back(testing_support::ModeOf(file)); };
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
TEST(SaveInPlace, ADirectoryThatTakesNoNewFileIsRewrittenInPlace) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  WriteBytes(path, "old\n");
  const ino_t inode = InodeOf(path);
  FaultyFileSystem refusing;
  refusing.createError = EACCES;
  {
    platform::ScopedFileSystem installed(refusing);
    ASSERT_TRUE(Save(path, "new\n").ok());
    EXPECT_EQ(ReadBytes(path), "new\n");
    ASSERT_TRUE(platform::ReplaceFileContents(path, "newer\n").ok());
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
TEST(SaveFaults, ATargetTurnedDirectoryOrWithoutItsDirectoryFails) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
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
TEST(StaleTemporaries, OnlyThoseOfDeadWritersAreRemoved) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  WriteBytes(path, "old\n");
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string me = std::to_string(::getpid());
  const std::string dead = dir.File(".app.ini.tmp" + std::to_string(gone) + "-1-1");
  const std::string heldByLiveWriter = dir.File(".app.ini.tmp" + me + "-1-2");
  const std::string justCreated = dir.File(".app.ini.tmp" + me + "-1-3");
  const std::string notOurs = dir.File(".app.ini.tmp-keep");
  const std::string otherFile = dir.File(".other.ini.tmp" + std::to_string(gone) + "-1-1");
  for (const std::string& file : {dead, heldByLiveWriter, justCreated, notOurs, otherFile})
    WriteBytes(file, "partial");
  const int held = ::open(heldByLiveWriter.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_TRUE(Save(path, "new\n").ok());
  ::close(held);
  EXPECT_FALSE(testing_support::Exists(dead));
  EXPECT_TRUE(testing_support::Exists(heldByLiveWriter));
  EXPECT_TRUE(testing_support::Exists(justCreated));  // its writer lives and may lock it yet
  EXPECT_TRUE(testing_support::Exists(notOurs));
  EXPECT_TRUE(testing_support::Exists(otherFile));
}

// 100 writers killed at random moments of their saves, half of them with
// named temporaries: the file is always one whole version, and the next save
// leaves no temporary file behind.
TEST(KilledWriters, LeaveAWholeFileAndNoTemporaryAfterTheNextSave) {
  TempDir dir;
  const std::string path = dir.File("big.ini");
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
  EXPECT_EQ(TemporaryCount(dir), 0);
  EXPECT_EQ(ReadBytes(path), "final\n");
}
