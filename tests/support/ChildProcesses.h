// SPDX-License-Identifier: MIT
// Bounded runs of forked child processes for the POSIX tests.
#ifndef DEZOV20_TESTS_SUPPORT_CHILD_PROCESSES_H
#define DEZOV20_TESTS_SUPPORT_CHILD_PROCESSES_H

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace testing_support {

// Runs body(0..count-1) in as many child processes at once and waits for them
// at most `limit`; a child still running then is killed by its pid. Returns
// how many children exited with 0.
inline int RunInChildren(int count, const std::function<int(int)>& body,
                         std::chrono::seconds limit) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body(i));
    if (pid > 0) children.push_back(pid);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int succeeded = 0;
  for (pid_t pid : children) {
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      continue;
    }
    succeeded += done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return succeeded;
}

}  // namespace testing_support

#endif  // _WIN32
#endif  // DEZOV20_TESTS_SUPPORT_CHILD_PROCESSES_H
