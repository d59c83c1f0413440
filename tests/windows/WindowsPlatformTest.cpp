// SPDX-License-Identifier: MIT
// The platform layer against the real Windows calls: the executable's string
// table (compiled into this program), the current directory and the atomic
// file replacement.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "HostStrings.h"
#include "PutFile.h"
#include "XmlIni.h"
#include "platform/FileRead.h"
#include "platform/Platform.h"
#include "support/TestFiles.h"
#include "text/TextUtil.h"

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Node handles are longs: this is the data model they must work in.
static_assert(sizeof(long) == 4 && sizeof(void*) == 8, "64-bit Windows data model");

namespace {

const char* IdName(unsigned int id) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));
}

// Makes dir the current directory for the life of the object.
struct CurrentDirectoryScope {
  explicit CurrentDirectoryScope(const std::string& dir) { std::filesystem::current_path(dir); }
  ~CurrentDirectoryScope() {
    std::error_code ignored;  // a destructor must not throw
    std::filesystem::current_path(before, ignored);
  }
  const std::filesystem::path before = std::filesystem::current_path();
};

}  // namespace

TEST(WindowsStringTable, BlocksOfTheExecutableComeFirstRegisteredTextsFillTheRest) {
  ClearHostStrings();
  std::string text = "unchanged";
  ASSERT_TRUE(dezov::platform::LoadHostString(101, text));
  EXPECT_EQ(text, "table-named.xml");
  ASSERT_TRUE(dezov::platform::LoadHostString(103, text));
  EXPECT_EQ(text, "third entry");
  text = "unchanged";
  ASSERT_TRUE(dezov::platform::LoadHostString(102, text));  // block present, entry missing
  EXPECT_EQ(text, "");

  text = "unchanged";
  EXPECT_FALSE(dezov::platform::LoadHostString(300, text));  // no block anywhere
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(dezov::LoadResourceText(text, IdName(300)));  // still an id
  EXPECT_EQ(text, "unchanged");

  RegisterHostString(300, "registered.xml");
  RegisterHostString(101, "ignored.xml");
  ASSERT_TRUE(dezov::platform::LoadHostString(300, text));
  EXPECT_EQ(text, "registered.xml");
  ASSERT_TRUE(dezov::platform::LoadHostString(101, text));
  EXPECT_EQ(text, "table-named.xml");
  ClearHostStrings();
}

TEST(WindowsStringTable, StoreOpensTheFileTheTableNamesInTheCurrentDirectory) {
  TempDir dir;
  CurrentDirectoryScope scope(dir.path());
  CXmlIni store;
  EXPECT_FALSE(store.Open(IdName(101)));  // missing: created with the default document
  EXPECT_EQ(store.GetLastErrMsg(), "");
  ASSERT_TRUE(testing_support::Exists(dir.File("table-named.xml")));
  ASSERT_TRUE(store.Open(IdName(101))) << store.GetLastErrMsg();
  EXPECT_EQ(store.GetFileName(), "table-named.xml");
  EXPECT_FALSE(store.Open(IdName(102)));  // empty name: nothing to open or create
  EXPECT_EQ(store.GetLastErrMsg(), "open xml file error: the file name is empty");
  EXPECT_EQ(dir.EntryCount(), 1);

  std::string cwd;
  ASSERT_TRUE(dezov::platform::CurrentDirectory(cwd).ok());
  CXmlIni joined;
  EXPECT_TRUE(joined.OpenAtExeDirectory("table-named.xml")) << joined.GetLastErrMsg();
  EXPECT_EQ(joined.GetFileName(), cwd + "\\table-named.xml");
}

class WindowsReplaceTest : public ::testing::Test {
 protected:
  bool Replace(const std::string& data) {
    return dezov::PutFileBytes(path, data, {}, error);
  }
  TempDir dir;
  std::string path = dir.File("target.txt");
  std::string error;
};

TEST_F(WindowsReplaceTest, CreatesAndReplacesWithoutLeftoversKeepingAttributes) {
  ASSERT_TRUE(Replace("first\n")) << error;
  EXPECT_EQ(ReadBytes(path), "first\n");  // bytes as given: no text-mode translation
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(Replace(std::string(200000, 'x'))) << error;
  EXPECT_EQ(ReadBytes(path), std::string(200000, 'x'));
  EXPECT_NE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(dir.EntryCount(), 1);

  std::string data;
  ASSERT_TRUE(dezov::platform::ReadWholeFile(path, data).ok());
  EXPECT_EQ(data.size(), 200000u);
}

TEST_F(WindowsReplaceTest, RefusalsKeepTheOldFileAndLeaveNoTemporaryFile) {
  WriteBytes(path, "old");
  {
    // Another program holds the file open without letting it be replaced.
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Replace("new"));
    ::CloseHandle(held);
  }
  EXPECT_NE(error.find("target.txt"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(path), "old");

  const std::string sub = dir.File("sub");
  ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), nullptr));
  std::string reason;
  EXPECT_FALSE(dezov::PutFileBytes(sub, "new", {}, reason));
  EXPECT_FALSE(dezov::PutFileBytes(dir.File("none\\x.txt"), "new", {}, reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(dir.EntryCount(), 2);

  std::string data = "kept";
  EXPECT_FALSE(dezov::platform::ReadWholeFile(sub, data).ok());
  const dezov::Status missing = dezov::platform::ReadWholeFile(dir.File("missing"), data);
  EXPECT_TRUE(missing.IsNotFound());
  EXPECT_NE(missing.message().find("missing"), std::string::npos) << missing.message();
  EXPECT_EQ(data, "kept");
  EXPECT_TRUE(dezov::platform::FileExists(sub));
  EXPECT_FALSE(dezov::platform::FileExists(dir.File("missing")));
}
