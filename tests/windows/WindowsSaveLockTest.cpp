// The save protocol's Windows half: LockFileEx, the check of the file on
// disk, exclusive creation and faults injected through the seam.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/FileLock.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using platform::DiskState;
using platform::FileStamp;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

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

class BrokenFileSystem : public platform::FileSystemWrapper {
 public:
  BrokenFileSystem() : FileSystemWrapper(platform::FileSystem::Default()) {}
  bool diskFull = false;
  bool lockHeld = false;
  int Write(platform::NativeFile file, const char* data, std::size_t size,
            std::size_t& written) override {
    return diskFull ? ERROR_DISK_FULL : target().Write(file, data, size, written);
  }
  int TryLock(platform::NativeFile file) override {
    return lockHeld ? ERROR_LOCK_VIOLATION : target().TryLock(file);
  }
};

}  // namespace

TEST(WindowsSave, ReportsChangesOnDiskAndStampsWhatItWrote) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "one\r\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);
  FileStamp now;
  ASSERT_TRUE(platform::StampFile(path, now).ok());
  EXPECT_EQ(saver.stamp, now);
  ASSERT_TRUE(saver.Save(path, "two\r\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kUnchanged);

  WriteBytes(path, "other program\r\n");
  ASSERT_TRUE(saver.Save(path, "three\r\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kChanged);
  EXPECT_EQ(saver.seen.bytes, "other program\r\n");

  ASSERT_TRUE(::DeleteFileA(path.c_str()));
  ASSERT_TRUE(saver.Save(path, "four\r\n").ok());
  EXPECT_EQ(saver.seen.kind, DiskState::kRemoved);
  EXPECT_EQ(ReadBytes(path), "four\r\n");
}

TEST(WindowsSave, AHeldLockTimesOutWithNothingWritten) {
  TempDir dir;
  const std::string path = dir.File("held.ini");
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "old\r\n").ok());
  {
    // Another holder of the lock file's lock (a handle of its own, as another process has).
    platform::OpenFile holder;
    ASSERT_EQ(platform::FileSystem::Default().Open(dir.File(".held.ini.lock"),
                                                   platform::FileSystem::OpenKind::kLockFile, 0666,
                                                   holder.Receive()),
              0);
    ASSERT_EQ(platform::FileSystem::Default().TryLock(holder.get()), 0);
    const Status waited = saver.Save(path, "mine\r\n", 100);
    EXPECT_TRUE(waited.IsLocked()) << waited.message();
    EXPECT_EQ(ReadBytes(path), "old\r\n");
  }
  EXPECT_TRUE(saver.Save(path, "mine\r\n", 100).ok());  // closing the handle released it

  BrokenFileSystem broken;
  broken.lockHeld = true;
  platform::ScopedFileSystem installed(broken);
  EXPECT_TRUE(saver.Save(path, "late\r\n", 50).IsLocked());
  EXPECT_EQ(ReadBytes(path), "mine\r\n");
}

TEST(WindowsSave, FailuresKeepTheOldFileAndLeaveNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  WriteBytes(path, "old\r\n");
  BrokenFileSystem broken;
  broken.diskFull = true;
  {
    platform::ScopedFileSystem installed(broken);
    Saver saver;
    const Status full = saver.Save(path, std::string(10000, 'n'));
    EXPECT_FALSE(full.ok());
    EXPECT_NE(full.message().find("app.ini"), std::string::npos) << full.message();
  }
  EXPECT_EQ(ReadBytes(path), "old\r\n");
  EXPECT_EQ(dir.EntryCount(), 1);  // the file alone (lock files are not counted)

  // A temporary left by a writer that is gone is removed by the next save; a
  // copy kept after a failed replacement is not.
  WriteBytes(dir.File(".app.ini.tmp4000000-1-1"), "partial");
  WriteBytes(dir.File(".app.ini.tmp4000000-1-1.old"), "old content");
  Saver saver;
  ASSERT_TRUE(saver.Save(path, "new\r\n").ok());
  EXPECT_FALSE(testing_support::Exists(dir.File(".app.ini.tmp4000000-1-1")));
  EXPECT_TRUE(testing_support::Exists(dir.File(".app.ini.tmp4000000-1-1.old")));
}

TEST(WindowsCreateExclusive, CreatesOnceAndNeverOverwrites) {
  TempDir dir;
  const std::string path = dir.File("new.xml");
  ASSERT_TRUE(platform::CreateFileExclusive(path, "first").ok());
  const Status again = platform::CreateFileExclusive(path, "second");
  EXPECT_TRUE(again.IsAlreadyExists()) << again.message();
  EXPECT_EQ(ReadBytes(path), "first");
  EXPECT_EQ(dir.EntryCount(), 1);
}
