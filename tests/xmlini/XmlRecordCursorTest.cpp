// The record cursor and node handles: writing records with Append/Set,
// reading them with Locate/GetCount/Get, walking them through handles.
#include <gtest/gtest.h>

#include <xercesc/dom/DOMException.hpp>

#include <string>

#include "XmlFixture.h"

TEST_F(XmlStoreTest, RecordsCursorStateFollowsEachOperation) {
  CXmlIni store;
  EXPECT_FALSE(store.Set("id", "1"));  // no cursor yet
  OpenOn(store, "<list>\n<rec id=\"a\"/></list>");
  EXPECT_FALSE(store.Locate("list", "none"));  // a list without such records
  EXPECT_FALSE(store.Set("id", "1"));
  EXPECT_FALSE(store.Locate("", "rec"));  // "\rec" never resolves
  ASSERT_TRUE(store.Locate("list\\REC", ""));
  EXPECT_EQ(store.GetCount(), 1);
  ASSERT_TRUE(store.Append("list\\rec\\rec"));  // cursor moves, record name stays
  EXPECT_EQ(store.GetCount(), 0);
  EXPECT_TRUE(store.Set("id", "inner"));
  store.Open("");  // fails with an error text
  const std::string error = store.GetLastErrMsg();
  EXPECT_FALSE(store.Append(""));
  EXPECT_EQ(store.GetLastErrMsg(), error);
  EXPECT_FALSE(store.Set("id", "1"));
  EXPECT_THROW(store.Append("\\rec"), xercesc::DOMException);  // the DOM refuses ""
  EXPECT_FALSE(store.Locate(nullptr, nullptr));
}

TEST_F(XmlStoreTest, RecordsReadByIndexAmongOtherNodes) {
  CXmlIni store;
  const char* flags[] = {"TRUE", "False", "true ", "2", "12abc", "0", "-3", "yes", ""};
  const bool truth[] = {true, false, false, true, true, false, false, false, false};
  std::string body = "<list>";
  for (const char* flag : flags) body += std::string("<rec v=\"") + flag + "\"/>\n<other/><!--c-->";
  OpenOn(store, body + "<REC V=\"1\" n=\" -12abc\" d=\"2.5x\"/></list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  ASSERT_EQ(store.GetCount(), 10);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(store.GetBool("V", i), truth[i]) << '"' << flags[i] << '"';
    EXPECT_EQ(store.GetAttribute(store.GetNodeByIndex(i), "v"), flags[i]);
  }
  EXPECT_EQ(store.GetLong("n", 9), -12);
  EXPECT_EQ(store.GetDouble("d", 9), 2.5);
  EXPECT_EQ(store.Get("v", 1), "False");  // going back restarts the walk
  for (int index : {-1, 10}) {
    EXPECT_EQ(store.Get("v", index), "");
    EXPECT_EQ(store.GetLong("v", index) + store.GetDouble("v", index), 0);
    EXPECT_FALSE(store.GetBool("v", index));
    EXPECT_EQ(store.GetNodeByIndex(index), 0);
  }
}

TEST_F(XmlStoreTest, RecordsSetWritesExactNamesNumbersAndOnlyStorableText) {
  CXmlIni store;
  OpenOn(store, "");
  ASSERT_TRUE(store.Append("list\\rec"));
  EXPECT_TRUE(store.Set("id", "1") && store.Set("ID", "2") && store.Set("id", "3"));
  EXPECT_TRUE(store.Set("n", 7) && store.Set("l", -7L) && store.Set("d", 0.1) &&
              store.Set("big", 1e300));
  EXPECT_FALSE(store.Set("bad", "a\x01z") || store.Set("bad", "\x81"));  // not XML text, not GBK
  EXPECT_TRUE(store.Set("gbk", "\xD6\xD0"));  // the cut-off byte before is not joined to it
  ASSERT_TRUE(store.Locate("list", "rec"));
  const std::string first = store.Get("Id", 0);  // "ID" and the replaced "id"
  EXPECT_TRUE(store.RemoveAttribute("list\\rec", "iD"));
  EXPECT_EQ(first + store.Get("id", 0), first == "2" ? "23" : "32");
  EXPECT_EQ(store.Get("n", 0) + store.Get("l", 0) + store.Get("d", 0), "7-70.100000");
  EXPECT_EQ(store.Get("big", 0).size(), 301u + 7u);
  EXPECT_EQ(store.Get("bad", 0), "");
  EXPECT_EQ(store.Get("gbk", 0), "\xD6\xD0");
}

TEST_F(XmlStoreTest, RecordsReadsStayRightWhenACopyChangesTheList) {
  CXmlIni store;
  OpenOn(store, "<list><rec id=\"0\"/><rec id=\"1\"/><rec id=\"2\"/></list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.Get("id", 2), "2");
  CXmlIni other(store);  // shares the document
  ASSERT_TRUE(other.RemoveKey("list", "rec"));
  for (const char* id : {"n0", "n1", "n2", "n3"})
    ASSERT_TRUE(other.Append("list\\rec") && other.Set("id", id));
  EXPECT_EQ(store.Get("id", 2) + store.Get("id", 3), "n2n3");
  EXPECT_EQ(store.GetCount(), 4);
}

TEST_F(XmlStoreTest, RecordsHandlesWalkNestedRecords) {
  CXmlIni store;
  OpenOn(
      store,
      "<list>\n<rec id=\"7\"><sub k=\"s1\"/><sub/></rec>\n<rec><x/>\n<Sub k=\"t\"/></rec></list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  const long first = store.GetNodeByIndex(0);
  ASSERT_NE(first, 0);
  EXPECT_EQ(store.GetNodeByIndex(0), first);
  EXPECT_EQ(store.GetAttribute(first, "ID"), "7");
  EXPECT_EQ(store.GetChildNode(first, "SUB"), store.GetChildNode(first, "sub"));
  EXPECT_EQ(store.GetAttribute(store.GetChildNode(first, "sub"), "k"), "s1");
  EXPECT_EQ(store.GetAttribute(store.GetChildNode(store.GetNodeByIndex(1), "sub"), "k"), "t");
  EXPECT_EQ(store.GetChildNode(first, "su"), 0);
  for (long never : {0L, -1L, 123456L, 0x7fffffffL})  // handles never given out
    EXPECT_EQ(store.GetAttribute(never, "id") + std::to_string(store.GetChildNode(never, "sub")),
              "0");
}


// Handles fit a 32-bit long and name their element while a store or copy
// uses its document; once the document is freed they find nothing.
TEST_F(XmlStoreTest, RecordsManyHandlesStayDistinctAndValidWhileTheirDocumentLives) {
  CXmlIni store;
  OpenOn(store, "");
  for (int i = 0; i < 5000; ++i) ASSERT_TRUE(store.Append("list\\rec") && store.Set("id", i));
  ASSERT_TRUE(store.Locate("list", "rec"));
  ASSERT_EQ(store.GetCount(), 5000);
  std::vector<long> handles;
  for (int i = 0; i < 5000; ++i) handles.push_back(store.GetNodeByIndex(i));
  CXmlIni keeper(store);  // keeps the first document alive
  OpenOn(store, "<list><rec id=\"other\"><sub/></rec></list>", "other.xml");
  EXPECT_EQ(store.GetCount(), 0);  // the cursor went with the earlier document
  for (int i = 0; i < 5000; i += 499) {
    EXPECT_GT(handles[i], 0);
    EXPECT_LE(handles[i], 0x7fffffffL);
    EXPECT_EQ(store.GetAttribute(handles[i], "id"), std::to_string(i));
  }
  ASSERT_TRUE(store.Locate("list", "rec"));
  const long other = store.GetNodeByIndex(0);
  keeper = store;  // no store uses the first document any more: it is freed
  for (int i = 0; i < 5000; i += 499) {
    EXPECT_EQ(store.GetAttribute(handles[i], "id"), "");
    EXPECT_EQ(store.GetChildNode(handles[i], "sub"), 0);
  }
  OpenOn(store, "<list><rec id=\"third\"/></list>", "third.xml");  // frees nothing: keeper
  EXPECT_EQ(store.GetAttribute(other, "id"), "other");
  EXPECT_NE(store.GetChildNode(other, "sub"), 0);
}
