// Shared setup for the XML store tests: a private directory and a way to open
// a store on a document written there.
#ifndef DEZOV20_TESTS_XMLINI_XML_FIXTURE_H
#define DEZOV20_TESTS_XMLINI_XML_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "XmlIni.h"
#include "support/TestFiles.h"

class XmlStoreTest : public ::testing::Test {
 protected:
  // A document declared gb2312 whose root holds body.
  static std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini comment=\"c\" Version=\"1.0\">" +
           body + "</vornini>";
  }
  // Writes Document(body) to name and opens store on it.
  void OpenOn(CXmlIni& store, const std::string& body, const std::string& name = "cfg.xml") {
    testing_support::WriteBytes(dir.File(name), Document(body));
    ASSERT_TRUE(store.Open(dir.File(name).c_str())) << store.GetLastErrMsg();
  }

  testing_support::TempDir dir;
  std::string path = dir.File("cfg.xml");
};

#endif  // DEZOV20_TESTS_XMLINI_XML_FIXTURE_H
