// Several processes on one XML file: saves that lose nothing, one default
// document when all of them open a missing file at once, and a save that
// gives up on a lock held too long. POSIX only: the processes are forked.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "XmlFixture.h"
#include "platform/FileSystem.h"
#include "support/ChildProcesses.h"

using testing_support::ReadBytes;
using testing_support::RunInChildren;

namespace {

// A lock attempt always finds the save lock taken by someone else, and the
// waits between attempts take no time: the save gives up at once.
class HeldLock : public dezov::platform::FileSystemWrapper {
 public:
  HeldLock() : FileSystemWrapper(FileSystem::Default()) {}
  int TryLock(dezov::platform::NativeFile) override { return EWOULDBLOCK; }
  void Sleep(int) override {}
};

}  // namespace

TEST_F(XmlStoreTest, FourProcessesSavingTheirOwnKeysLoseNone) {
  constexpr int kProcesses = 4;
  constexpr int kCycles = 200;
  {
    CXmlIni create;
    ASSERT_FALSE(create.Open(path.c_str()));  // writes the default document
  }
  const int succeeded = RunInChildren(
      kProcesses,
      [&](int process) {
        const std::string section = "P" + std::to_string(process);
        for (int cycle = 0; cycle < kCycles; ++cycle) {
          CXmlIni store;
          const std::string key = "K" + std::to_string(cycle);
          if (!store.Open(path.c_str()) || !store.SetValue(section.c_str(), key.c_str(), cycle) ||
              !store.WriteFile())
            return 1;
        }
        return 0;
      },
      std::chrono::seconds(240));
  EXPECT_EQ(succeeded, kProcesses);
  CXmlIni store;
  ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  int found = 0;
  for (int process = 0; process < kProcesses; ++process) {
    const std::string section = "P" + std::to_string(process);
    for (int cycle = 0; cycle < kCycles; ++cycle)
      found += store.GetLong(section.c_str(), ("K" + std::to_string(cycle)).c_str()) == cycle &&
               store.HaveNode((section + "\\K" + std::to_string(cycle)).c_str());
  }
  EXPECT_EQ(found, kProcesses * kCycles);
}

TEST_F(XmlStoreTest, ProcessesOpeningAMissingFileAtOnceLeaveOneDocumentThatOpens) {
  for (int round = 0; round < 200; ++round) {
    std::remove(path.c_str());
    // Each open either creates the file (false, no error) or loads a whole one.
    const int clean = RunInChildren(
        4,
        [&](int) {
          CXmlIni store;
          return store.Open(path.c_str()) || store.GetLastErrMsg().empty() ? 0 : 1;
        },
        std::chrono::seconds(30));
    ASSERT_EQ(clean, 4) << "round " << round;
    CXmlIni store;
    ASSERT_TRUE(store.Open(path.c_str())) << "round " << round << ": " << store.GetLastErrMsg();
  }
}

// The store's side of a held lock: false with the reason, the file as it was,
// the change kept for the next save. (Real holders in other processes are
// the save protocol's tests.)
TEST_F(XmlStoreTest, ASaveGivesUpOnALockHeldTooLongAndKeepsItsChange) {
  CXmlIni store;
  OpenOn(store, "<S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("S", "K", "2"));
  const std::string before = ReadBytes(path);
  {
    HeldLock held;
    dezov::platform::ScopedFileSystem installed(held);
    EXPECT_FALSE(store.WriteFile());
  }
  EXPECT_NE(store.GetLastErrMsg().find("locked"), std::string::npos) << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(WrittenAndReread(store, "S", "K"), "2");
}
#endif  // _WIN32
