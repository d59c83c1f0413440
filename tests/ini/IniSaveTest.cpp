// Saves that lose no other program's change: the file changed on disk between
// Open and a save is read again and the store's changes are made on top.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include "include/KdIni.h"
#include "ini/IniLastError.h"
#include "platform/FileLock.h"
#include "platform/FileSystem.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

void AppendBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << bytes;
}

// As an editor or sed -i saves: a new file renamed over the old one.
void ReplaceByRename(const std::string& path, const std::string& bytes) {
  WriteBytes(path + ".new", bytes);
  std::filesystem::rename(path + ".new", path);
}

class IniSave : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("app.ini");
};

TEST_F(IniSave, ChangesMadeByOthersSinceOpenSurvive) {
  const std::string original = "; app\n[Server]\nHost = a  // main\nPort=1\n\n; end\n";
  WriteBytes(path, original);
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("server", "PORT", "2"));
    AppendBytes(path, "[Added]\n; by hand\nk=v\n");  // >> while the store is open
    ASSERT_TRUE(ini.WriteFile());
    EXPECT_EQ(ReadBytes(path), "; app\n[Server]\nHost = a  // main\nPort=2\n\n; end\n"
                               "[Added]\n; by hand\nk=v\n");
    EXPECT_EQ(ini.GetValue("Added", "k"), "v");  // the store holds what it wrote
    EXPECT_FALSE(ini.WriteFile());

    // sed changes Host; the store changes another key: its save keeps sed's Host.
    ReplaceByRename(path, "; app\n[Server]\nHost = b  // main\nPort=2\n\n; end\n[Added]\nk=v\n");
    ASSERT_TRUE(ini.SetValue("Added", "k2", "w"));
  }  // the destructor saves
  EXPECT_EQ(ReadBytes(path), "; app\n[Server]\nHost = b  // main\nPort=2\n\n; end\n"
                             "[Added]\nk=v\nk2=w\n");
  {
    // Both changed Port: the store's value wins, with the comment on disk.
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("Server", "Port", "3"));
    ReplaceByRename(path, "[Server]\nPort=9 // edited\nHost=c\n");
  }
  EXPECT_EQ(ReadBytes(path), "[Server]\nPort=3 // edited\nHost=c\n");
}

TEST_F(IniSave, RemovalsReplayOnTheChangedFileAndARemovedFileIsWrittenAnew) {
  WriteBytes(path, "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  ASSERT_TRUE(ini.RemoveKey("a", "X") && ini.RemoveSection("B") && ini.SetValue("C", "w", "5"));
  ReplaceByRename(path, "; kept\n[A]\nx=1\ny=2\nnew=1\n[B]\nz=3\nz2=3\n[C]\nw=4\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "; kept\n[A]\ny=2\nnew=1\n[C]\nw=5\n");

  // Emptied by ResetContent: other programs' additions go too.
  ini.ResetContent();
  ini.bModified = true;
  AppendBytes(path, "[D]\nv=1\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "");

  ASSERT_TRUE(ini.SetValue("E", "k", "1"));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[E]\nk=1\n");
}

// Members edited directly: a key marked modified merges like a SetValue;
// other direct edits are written only over an unchanged file.
TEST_F(IniSave, DirectEditsMergeOnlyThroughTheModifiedFlags) {
  WriteBytes(path, "[A]\nx=1\ny=2\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  ini.vecSections[0]->vecKeys[0]->strValue = "flagged";
  ini.vecSections[0]->vecKeys[0]->bModified = true;
  ini.vecSections[0]->vecKeys[1]->strLine = "y=unflagged";
  ini.bModified = true;
  AppendBytes(path, "z=3\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=flagged\ny=2\nz=3\n");

  ini.vecSections[0]->vecKeys[1]->strLine = "y=unflagged";
  ini.bModified = true;  // the file is unchanged: the store is written whole
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=flagged\ny=unflagged\nz=3\n");

  // A copy made before a save merges its own changes too.
  CKdIni copy(ini);
  ASSERT_TRUE(ini.SetValue("A", "x", "from-original") && ini.WriteFile());
  ASSERT_TRUE(copy.SetValue("A", "z", "from-copy") && copy.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=from-original\ny=unflagged\nz=from-copy\n");
}

#ifndef _WIN32
// Waits for every child until deadline, then kills those still running; true
// when each exited with status 0.
bool WaitForAll(std::vector<pid_t> children, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool allPassed = true;
  while (!children.empty()) {
    const bool late = std::chrono::steady_clock::now() > deadline;
    for (auto child = children.begin(); child != children.end();) {
      if (late) ::kill(*child, SIGKILL);
      int status = 0;
      const pid_t done = ::waitpid(*child, &status, late ? 0 : WNOHANG);
      if (done == 0) {
        ++child;
        continue;
      }
      allPassed = allPassed && !late && WIFEXITED(status) && WEXITSTATUS(status) == 0;
      child = children.erase(child);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return allPassed;
}

TEST_F(IniSave, FourProcessesSavingOneFileLoseNoKey) {
  constexpr int kProcesses = 4;
  constexpr int kCycles = 200;
  WriteBytes(path, "; shared\n[S]\n");
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      bool ok = true;
      for (int c = 0; c < kCycles && ok; ++c) {
        CKdIni ini;
        const std::string key = "p" + std::to_string(p) + "_" + std::to_string(c);
        ok = ini.Open(path.c_str()) && ini.SetValue("S", key.c_str(), "v") && ini.WriteFile();
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  EXPECT_TRUE(WaitForAll(children, std::chrono::seconds(120)));
  CKdIni ini;
  std::vector<std::string> keys;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.GetKeysInSection("S", keys));
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(kProcesses * kCycles));
  EXPECT_EQ(ini.vecSections[0]->vecComments, std::vector<std::string>{"; shared"});
}

// Kills and reaps a child process when the test ends, however it ends.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ~ChildGuard() { Kill(); }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

// The OS's file calls, except that waiting for a lock takes no time: a save
// then gives up on a held lock at once instead of after the full wait.
class NoWaiting : public dezov::platform::FileSystemWrapper {
 public:
  NoWaiting() : FileSystemWrapper(FileSystem::Default()) {}
  void Sleep(int) override {}
};

TEST_F(IniSave, ALockHeldLongerThanTheWaitFailsTheSaveAndWritesNothing) {
  WriteBytes(path, "[A]\nx=1\n");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {  // holds the save lock until it is killed
    dezov::platform::FileStamp stamp, written;
    (void)dezov::platform::SaveLocked(
        path, stamp,
        [&](const dezov::platform::DiskState&, std::string&) {
          (void)!::write(ready[1], "x", 1);
          ::sleep(60);
          return dezov::Status::IOError("never saves");
        },
        written);
    ::_exit(0);
  }
  ChildGuard guard(holder);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);

  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "x", "2"));
  {
    NoWaiting noWaiting;
    dezov::platform::ScopedFileSystem installed(noWaiting);
    EXPECT_FALSE(ini.WriteFile());
  }
  EXPECT_NE(dezov::IniLastError(ini).find("locked"), std::string::npos) << dezov::IniLastError(ini);
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  EXPECT_TRUE(ini.bModified);

  guard.Kill();  // the OS drops a dead holder's lock
  EXPECT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=2\n");
}
#endif

}  // namespace
