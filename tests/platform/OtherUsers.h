// SPDX-License-Identifier: MIT
// Processes of other users for the POSIX save tests that run as root.
#ifndef DEZOV20_TESTS_PLATFORM_OTHER_USERS_H
#define DEZOV20_TESTS_PLATFORM_OTHER_USERS_H

#include <grp.h>
#include <sys/types.h>
#include <unistd.h>

namespace testing_support {

// The unprivileged user and group the tests become ("nobody" on most systems).
constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

inline bool IsRoot() { return ::geteuid() == 0; }

// Makes the calling (child) process user uid in group gid only; false when it cannot.
inline bool BecomeUser(uid_t uid, gid_t gid) {
  return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
}

}  // namespace testing_support

#endif  // DEZOV20_TESTS_PLATFORM_OTHER_USERS_H
