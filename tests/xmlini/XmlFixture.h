// SPDX-License-Identifier: MIT
// Shared setup for the XML store tests: a private directory, ways to open a
// store on a document written there and to read back what a store wrote.
#ifndef DEZOV20_TESTS_XMLINI_XML_FIXTURE_H
#define DEZOV20_TESTS_XMLINI_XML_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "XmlIni.h"
#include "support/TestFiles.h"

class XmlStoreTest : public ::testing::Test {
 public:
  // A document declared gb2312 whose root holds body.
  static std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini comment=\"c\" Version=\"1.0\">" +
           body + "</vornini>";
  }

 protected:
  // Writes text as it is to name and opens store on it.
  void OpenText(CXmlIni& store, const std::string& text, const std::string& name = "cfg.xml") {
    testing_support::WriteBytes(dir.File(name), text);
    ASSERT_TRUE(store.Open(dir.File(name).c_str())) << store.GetLastErrMsg();
  }
  // Writes Document(body) to name and opens store on it.
  void OpenOn(CXmlIni& store, const std::string& body, const std::string& name = "cfg.xml") {
    OpenText(store, Document(body), name);
  }
  // Writes store, then reads section/key through a fresh store on path.
  std::string WrittenAndReread(CXmlIni& store, const char* section, const char* key) {
    EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
    CXmlIni reread;
    EXPECT_TRUE(reread.Open(path.c_str())) << reread.GetLastErrMsg();
    return reread.GetValue(section, key);
  }

  testing_support::TempDir dir;
  std::string path = dir.File("cfg.xml");
  CXmlIni store;  // the store most tests work on
};

#endif  // DEZOV20_TESTS_XMLINI_XML_FIXTURE_H
