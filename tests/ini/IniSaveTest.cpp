// Saves that lose no other program's change: the file changed on disk between
// Open and a save is read again and the store's changes are made on top.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "include/KdIni.h"
#include "ini/IniLastError.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

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
TEST_F(IniSave, FourProcessesSavingOneFileLoseNoKey) {
  constexpr int kProcesses = 4;
  constexpr int kCycles = 200;
  WriteBytes(path, "; shared\n[S]\n");
  const int succeeded = RunInChildren(
      kProcesses,
      [&](int p) {
        for (int c = 0; c < kCycles; ++c) {
          CKdIni ini;
          const std::string key = "p" + std::to_string(p) + "_" + std::to_string(c);
          if (!ini.Open(path.c_str()) || !ini.SetValue("S", key.c_str(), "v") || !ini.WriteFile())
            return 1;
        }
        return 0;
      },
      std::chrono::seconds(120));
  EXPECT_EQ(succeeded, kProcesses);
  CKdIni ini;
  std::vector<std::string> keys;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.GetKeysInSection("S", keys));
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(kProcesses * kCycles));
  EXPECT_EQ(ini.vecSections[0]->vecComments, std::vector<std::string>{"; shared"});
}

// The store's side of a held lock (real holders in other processes are the
// save protocol's tests): false with the reason, nothing written, the change
// kept for the next save.
TEST_F(IniSave, ALockHeldLongerThanTheWaitFailsTheSaveAndWritesNothing) {
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "x", "2"));
  {
    FaultyFileSystem held;  // the lock always taken, no time waited: the save gives up at once
    held.lockHeld = held.noWaits = true;
    dezov::platform::ScopedFileSystem installed(held);
    EXPECT_FALSE(ini.WriteFile());
  }
  EXPECT_NE(dezov::IniLastError(ini).find("locked"), std::string::npos) << dezov::IniLastError(ini);
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  EXPECT_TRUE(ini.bModified);
  EXPECT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=2\n");
}
#endif

}  // namespace
