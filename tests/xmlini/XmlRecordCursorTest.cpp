// The record cursor and node handles: writing records with Append/Set,
// reading them with Locate/GetCount/Get, walking them through handles.
#include <gtest/gtest.h>

#include <xercesc/dom/DOMException.hpp>

#include <string>

#include "XmlIni.h"
#include "support/TestFiles.h"

namespace {

using testing_support::TempDir;

class RecordCursor : public ::testing::Test {
 protected:
  // Opens a file whose root holds body.
  void Load(const std::string& body) {
    testing_support::WriteBytes(path, "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n<vornini>" +
                                          body + "</vornini>");
    ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  }
  TempDir dir;
  std::string path = dir.File("records.xml");
  CXmlIni store;
};

const char kMixedList[] =
    "<list>\n  <rec id=\"a\"/>\n  <other id=\"x\"/><!-- note -->\n  <rec id=\"b\">text</rec>\n"
    "  <REC ID=\"c\" flag=\"TRUE\"/>\n</list>";

TEST_F(RecordCursor, StateFollowsEachOperation) {
  EXPECT_FALSE(store.Set("id", "1"));  // no cursor yet
  EXPECT_EQ(store.GetCount(), 0);
  Load(kMixedList);
  EXPECT_FALSE(store.Locate("missing", "rec"));
  EXPECT_EQ(store.Get("id", 0), "");
  EXPECT_FALSE(store.Set("id", "1"));
  EXPECT_FALSE(store.Locate("", "rec"));  // "\rec" never resolves
  EXPECT_FALSE(store.Locate("list", "none"));

  ASSERT_TRUE(store.Locate("LIST", "Rec"));
  EXPECT_EQ(store.GetCount(), 3);
  EXPECT_EQ(store.Get("id", 2), "c");
  ASSERT_TRUE(store.Locate("list\\rec", ""));  // the same list, named by a record
  EXPECT_EQ(store.Get("ID", 1), "b");

  // Append moves the cursor to the new element but keeps the record name.
  ASSERT_TRUE(store.Append("list\\rec\\rec"));
  EXPECT_EQ(store.GetCount(), 0);
  EXPECT_TRUE(store.Set("id", "inner"));
  EXPECT_EQ(store.Get("id", 0), "");  // the new element has no records of its own
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.GetChildNode(store.GetNodeByIndex(0), "rec"), store.GetNodeByIndex(0) + 1);

  store.Open("");  // fails and sets an error text
  const std::string error = store.GetLastErrMsg();
  EXPECT_FALSE(store.Append(""));
  EXPECT_EQ(store.GetLastErrMsg(), error);
  ASSERT_TRUE(store.Append("list"));
  EXPECT_THROW(store.Append("\\rec"), xercesc::DOMException);  // the DOM refuses the name ""
  EXPECT_FALSE(store.Set("id", "1"));
}

TEST_F(RecordCursor, RecordsAmongOtherNodesByIndex) {
  Load(kMixedList);
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.GetCount(), 3);
  EXPECT_EQ(store.GetCount(), 3);
  const char* expected[] = {"a", "b", "c"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(store.Get("id", i), expected[i]);
    EXPECT_EQ(store.GetAttribute(store.GetNodeByIndex(i), "Id"), expected[i]);
  }
  EXPECT_EQ(store.Get("id", 1), "b");  // going back restarts the walk
  for (int index : {-1, 3}) {
    EXPECT_EQ(store.Get("id", index), "");
    EXPECT_EQ(store.GetLong("id", index), 0);
    EXPECT_EQ(store.GetDouble("id", index), 0.0);
    EXPECT_FALSE(store.GetBool("flag", index));
    EXPECT_EQ(store.GetNodeByIndex(index), 0);
  }
  EXPECT_TRUE(store.GetBool("FLAG", 2));
  Load("<list><rec n=\" -12abc\" d=\"2.5x\"/></list>");  // first child, no whitespace
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.GetLong("n", 0), -12);
  EXPECT_EQ(store.GetDouble("d", 0), 2.5);
}

TEST_F(RecordCursor, BoolReadsWordsAndPositiveNumbers) {
  const std::pair<const char*, bool> cases[] = {
      {"TRUE", true}, {"False", false}, {"true ", false}, {"2", true}, {"12abc", true},
      {"0", false},   {"-3", false},    {"yes", false},   {"", false}, {" 1", true}};
  std::string body = "<list>";
  for (const auto& c : cases) body += std::string("<rec v=\"") + c.first + "\"/>";
  Load(body + "</list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i)
    EXPECT_EQ(store.GetBool("v", i), cases[i].second) << '"' << cases[i].first << '"';
}

TEST_F(RecordCursor, SetWritesExactNameAndNumbers) {
  Load("");
  ASSERT_TRUE(store.Append("list\\rec"));
  EXPECT_TRUE(store.Set("id", "1"));
  EXPECT_TRUE(store.Set("ID", "2"));  // a second attribute: names differ in case
  EXPECT_TRUE(store.Set("id", "3"));  // replaces the first
  EXPECT_TRUE(store.Set("n", 7));
  EXPECT_TRUE(store.Set("l", -7L));
  EXPECT_TRUE(store.Set("d", 0.1));
  EXPECT_TRUE(store.Set("big", 1e300));
  EXPECT_FALSE(store.Set("bad", "a\x01z"));       // XML cannot carry it
  EXPECT_FALSE(store.Set("bad", "\x81"));         // not GBK
  ASSERT_TRUE(store.Locate("list", "rec"));
  // Exactly two attributes answer to "id": the replaced one and "ID".
  const std::string first = store.Get("Id", 0);
  EXPECT_TRUE(first == "2" || first == "3") << first;
  EXPECT_TRUE(store.RemoveAttribute("list\\rec", "iD"));
  EXPECT_EQ(store.Get("id", 0), first == "2" ? "3" : "2");
  EXPECT_TRUE(store.RemoveAttribute("list\\rec", "iD"));
  EXPECT_FALSE(store.HaveAttribute("list\\rec", "id"));
  EXPECT_EQ(store.Get("n", 0), "7");
  EXPECT_EQ(store.Get("l", 0), "-7");
  EXPECT_EQ(store.Get("d", 0), "0.100000");
  EXPECT_EQ(store.Get("big", 0).size(), 301u + 7u);
  EXPECT_FALSE(store.HaveAttribute("list\\rec", "bad"));
}

TEST_F(RecordCursor, ReadsStayRightWhenTheListChanges) {
  Load("<list><rec id=\"0\"/><rec id=\"1\"/><rec id=\"2\"/></list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.Get("id", 2), "2");
  CXmlIni other(store);  // shares the document
  ASSERT_TRUE(other.RemoveKey("list", "rec"));
  for (const char* id : {"new0", "new1", "new2", "new3"}) {
    ASSERT_TRUE(other.Append("list\\rec"));
    ASSERT_TRUE(other.Set("id", id));
  }
  EXPECT_EQ(store.Get("id", 2), "new2");
  EXPECT_EQ(store.GetCount(), 4);
  EXPECT_EQ(store.Get("id", 3), "new3");
}

TEST_F(RecordCursor, HandlesWalkNestedRecords) {
  Load("<list>\n<rec id=\"7\"><sub k=\"s1\"/><sub k=\"s2\"/></rec>\n<rec><x/>\n<Sub k=\"t\"/></rec>"
       "</list>");
  ASSERT_TRUE(store.Locate("list", "rec"));
  const long first = store.GetNodeByIndex(0);
  const long second = store.GetNodeByIndex(1);
  ASSERT_NE(first, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(store.GetNodeByIndex(0), first);  // stable
  EXPECT_EQ(store.GetAttribute(first, "ID"), "7");
  const long sub = store.GetChildNode(first, "sub");
  EXPECT_EQ(store.GetChildNode(first, "SUB"), sub);
  EXPECT_EQ(store.GetAttribute(sub, "k"), "s1");
  EXPECT_EQ(store.GetAttribute(store.GetChildNode(second, "sub"), "k"), "t");
  EXPECT_EQ(store.GetChildNode(first, "su"), 0);
  EXPECT_EQ(store.GetChildNode(0, "sub"), 0);
  EXPECT_EQ(store.GetChildNode(-5, "sub"), 0);
  for (long never : {0L, -1L, 123456L, 0x7fffffffL}) {
    EXPECT_EQ(store.GetAttribute(never, "id"), "");
    EXPECT_EQ(store.GetChildNode(never, "sub"), 0);
  }
}

TEST_F(RecordCursor, AppendedRecordsSurviveWriteAndReopen) {
  Load("<keep Value=\"1\"/>");
  const char* names[] = {"alpha", "\xD6\xD0\xCE\xC4", "a&b<c>\"'"};  // GBK and markup
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(store.Append("data\\items\\item"));
    ASSERT_TRUE(store.Set("name", names[i]));
    ASSERT_TRUE(store.Set("n", i));
    ASSERT_TRUE(store.Set("on", i % 2 == 0 ? "true" : "False"));
  }
  ASSERT_TRUE(store.Append("item"));  // directly below the root
  ASSERT_TRUE(store.Append("item"));
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();

  CXmlIni reopened;
  ASSERT_TRUE(reopened.Open(path.c_str())) << reopened.GetLastErrMsg();
  ASSERT_TRUE(reopened.Locate("data\\items", "ITEM"));
  ASSERT_EQ(reopened.GetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reopened.Get("name", i), names[i]);
    EXPECT_EQ(reopened.GetLong("n", i), i);
    EXPECT_EQ(reopened.GetBool("on", i), i % 2 == 0);
  }
  ASSERT_TRUE(reopened.Locate("", "") || reopened.Locate("item", ""));
  EXPECT_EQ(reopened.GetCount(), 2);
  EXPECT_EQ(reopened.GetValue("keep", ""), "1");
}

TEST_F(RecordCursor, AppendNeverBuildsTooDeep) {
  Load("");
  std::string path999;
  for (int i = 0; i < 999; ++i) path999 += i ? "\\d" : "d";  // levels 2..1000
  EXPECT_TRUE(store.Append(path999.c_str()));
  EXPECT_FALSE(store.Append((path999 + "\\d").c_str()));
  EXPECT_FALSE(store.Set("id", "1"));  // a failed Append leaves no cursor
  EXPECT_FALSE(store.HaveNode((path999 + "\\d").c_str()));
  EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
}

}  // namespace
