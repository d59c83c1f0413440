// SPDX-License-Identifier: MIT
// Saves in place, where the directory takes no new file: a full disk fails
// before any old byte goes, checked through the seam and, as root, on a small
// tmpfs by another user who may write the file but not the directory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/FileStamp.h"
#include "platform/SaveProtocol.h"
#include "OtherUsers.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"

namespace platform = dezov::platform;
using dezov::Status;
using namespace testing_support;

namespace {

// Saves text over the file as it is now.
Status Save(const std::string& path, const std::string& text) {
  platform::FileStamp stamp, written;
  const Status stamped = platform::StampFile(path, stamp);
  if (!stamped.ok()) return stamped;
  return platform::SaveLocked(
      path, stamp,
      [&](const platform::DiskState&, std::string& out) {
        out = text;
        return Status::Ok();
      },
      written);
}

ino_t InodeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Fills the file system of directory, then frees `room` bytes again.
void FillLeaving(const std::string& directory, off_t room) {
  const std::string filler = directory + "/filler";
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'f');
  off_t size = 0;
  while (::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size()))
    size += static_cast<off_t>(block.size());
  ASSERT_EQ(::ftruncate(fd, size > room ? size - room : 0), 0);
  ::close(fd);
}

}  // namespace

TEST(InPlaceSave, AFullDiskFailsBeforeAnyOldByteGoes) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  const std::string old(3000, 'o');
  WriteBytes(path, old);
  const ino_t inode = InodeOf(path);
  FaultyFileSystem full;
  full.createError = EACCES;  // the directory takes no new file
  full.reserveError = kDiskFull;
  {
    platform::ScopedFileSystem installed(full);
    const Status status = Save(path, std::string(9000, 'n'));
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("app.ini"), std::string::npos) << status.message();
    EXPECT_NE(status.message().find(std::strerror(ENOSPC)), std::string::npos) << status.message();
    EXPECT_TRUE(ReadBytes(path) == old);
    // A smaller content needs no more room.
    EXPECT_TRUE(Save(path, "small\n").ok());
  }
  EXPECT_EQ(ReadBytes(path), "small\n");
  EXPECT_EQ(InodeOf(path), inode);
  EXPECT_EQ(dir.EntryCount(), 1);
}

TEST(InPlaceSave, OnAFullTmpfsAsAUserWhoMayNotWriteTheDirectory) {
  if (!IsRoot()) GTEST_SKIP() << "needs root: mounts a 256 KiB tmpfs and saves as another user";
  TempDir dir;
  const std::string mountPoint = dir.File("small");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  struct Unmount {
    const std::string& at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mountPoint};

  const std::string path = mountPoint + "/app.ini";
  const std::string old(64 * 1024, 'o');
  WriteBytes(path, old);
  ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  const ino_t inode = InodeOf(path);
  FillLeaving(mountPoint, 32 * 1024);
  // 1: the large save was refused for want of room; 2: the old content was not
  // whole afterwards; 3: the small save failed.
  const int clean = RunInChildren(
      1,
      [&](int) {
        if (!BecomeUser(kOtherUser, kOtherGroup)) return 4;
        const Status large = Save(path, std::string(200 * 1024, 'n'));
        if (large.ok() || large.message().find(std::strerror(ENOSPC)) == std::string::npos) return 1;
        if (ReadBytes(path) != old) return 2;
        return Save(path, std::string(16 * 1024, 's')).ok() ? 0 : 3;
      },
      std::chrono::seconds(30));
  EXPECT_EQ(clean, 1);
  EXPECT_TRUE(ReadBytes(path) == std::string(16 * 1024, 's'));
  EXPECT_EQ(InodeOf(path), inode);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, kOtherUser);
}
