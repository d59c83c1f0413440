// SPDX-License-Identifier: MIT
// A program that uses the library only through DeZov20.dll and its import
// library: the exported classes and free functions must link and work.
#include <gtest/gtest.h>

#include <string>

#include "HostStrings.h"
#include "KdDeploy.h"
#include "XmlIni.h"
#include "support/TestFiles.h"

TEST(DllUse, ExportedClassesWorkAcrossTheDllBoundary) {
  testing_support::TempDir dir;
  const std::string path = dir.File("dll.xml");
  RegisterHostString(40, path.c_str());
  CXmlIni store;
  EXPECT_FALSE(store.Open(reinterpret_cast<const char*>(40)));  // created
  ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  ASSERT_TRUE(store.SetValue("DEPLOY", "DEPLOY1", "YYB"));
  CXmlIni copy(store);
  ASSERT_TRUE(copy.WriteFile()) << copy.GetLastErrMsg();
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str())) << reread.GetLastErrMsg();
  EXPECT_EQ(reread.GetValue("deploy", "deploy1"), "YYB");
  ClearHostStrings();

  CKdDeploy deploy;
  SetKdDeploy(&deploy);
  EXPECT_EQ(GetKdDeploy(), &deploy);
  SetKdDeploy(nullptr);
}
