// SPDX-License-Identifier: MIT
// Names of the files a save makes beside a target, as the save tests plant
// them: temporaries of given writers.
#ifndef DEZOV20_TESTS_PLATFORM_SAVE_TEST_NAMES_H
#define DEZOV20_TESTS_PLATFORM_SAVE_TEST_NAMES_H

#include <string>

#include "platform/SaveFileNames.h"

namespace testing_support {

// The path of a temporary of target made by process writer ("<tag>.<writer>.<tail>.tmp").
inline std::string TemporaryPath(const std::string& target, const std::string& writer,
                                 const std::string& tail = "1") {
  const std::string lock = dezov::platform::LockFileOf(target);  // "<tag>.lk"
  return lock.substr(0, lock.size() - 3) + "." + writer + "." + tail + ".tmp";
}

}  // namespace testing_support

#endif  // DEZOV20_TESTS_PLATFORM_SAVE_TEST_NAMES_H
