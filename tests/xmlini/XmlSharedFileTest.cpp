// Several processes on one XML file: saves that lose nothing, one default
// document when all of them open a missing file at once, and a save that
// gives up on a lock held too long. POSIX only: the processes are forked.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "XmlFixture.h"
#include "platform/FileSystem.h"

using testing_support::ReadBytes;

namespace {

// Runs body(0..count-1) in as many child processes at once and waits for them
// at most `limit`; a child still running then is killed by its pid. Returns
// how many children exited with 0.
int RunInChildren(int count, const std::function<int(int)>& body, std::chrono::seconds limit) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body(i));
    if (pid > 0) children.push_back(pid);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int succeeded = 0;
  for (pid_t pid : children) {
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      continue;
    }
    if (done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) ++succeeded;
  }
  return succeeded;
}

// A lock attempt always finds the save lock taken by someone else.
class HeldLock : public dezov::platform::FileSystemWrapper {
 public:
  HeldLock() : FileSystemWrapper(FileSystem::Default()) {}
  int TryLock(dezov::platform::NativeFile) override { return EWOULDBLOCK; }
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
          if (!store.Open(path.c_str())) return 1;
          if (!store.SetValue(section.c_str(), key.c_str(), cycle)) return 2;
          if (!store.WriteFile()) return 3;
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

TEST_F(XmlStoreTest, ASaveGivesUpOnALockHeldTooLongAndWritesNothing) {
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
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
}
#endif  // _WIN32
