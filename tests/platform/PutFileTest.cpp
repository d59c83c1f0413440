// PutFileBytes and RemoveFileLocked: exact bytes in, the file gone, and the
// reason on failure; both under the stores' save lock.
#include <gtest/gtest.h>

#include <string>

#include "PutFile.h"
#include "support/TestFiles.h"

using namespace testing_support;

TEST(PutFile, WritesExactBytesAndRemovesUnderTheLock) {
  TempDir dir;
  const std::string path = dir.File("app.ini");
  std::string reason = "stale";
  const std::string bytes("a=1\r\n\0b\n", 8);
  ASSERT_TRUE(dezov::PutFileBytes(path, bytes, {}, reason)) << reason;
  EXPECT_EQ(reason, "");
  EXPECT_EQ(ReadBytes(path), bytes);
  ASSERT_TRUE(dezov::PutFileBytes(path, "b=2\n", {}, reason)) << reason;
  EXPECT_EQ(ReadBytes(path), "b=2\n");

  ASSERT_TRUE(dezov::RemoveFileLocked(path, reason)) << reason;
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(dezov::RemoveFileLocked(path, reason)) << reason;  // never there: gone all the same
  EXPECT_EQ(dir.EntryCount(), 0);

  EXPECT_FALSE(dezov::PutFileBytes(dir.File("none/app.ini"), "x", {}, reason));
  EXPECT_NE(reason.find("app.ini"), std::string::npos) << reason;
}
