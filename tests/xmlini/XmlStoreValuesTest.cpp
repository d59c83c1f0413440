// SPDX-License-Identifier: MIT
// Values, attributes and element paths of the XML store: lookups, case,
// indexes, creation, removal, enumeration, encodings and refusals; the record
// cursor and node handles: writing records with Append/Set, reading them with
// Locate/GetCount/Get, walking them through handles.
#include <gtest/gtest.h>

#include <xercesc/dom/DOMException.hpp>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "XmlFixture.h"
#include "text/TextUtil.h"

using testing_support::ReadBytes;

namespace {
// GB2312 text "中文", and a character only GBK has (0x81 0x40).
const std::string kChinese = "\xD6\xD0\xCE\xC4";
const std::string kGbkOnly = "\x81\x40";

using Names = std::vector<std::string>;

// The keys listed for section, or {"failed"} when the listing fails.
Names Keys(CXmlIni& store, const char* section) {
  Names names;
  return store.GetKeysInSection(section, names) ? names : Names{"failed"};
}

// What a section holds, in document order: (element name, its Value).
using Model = std::vector<std::pair<std::string, std::string>>;

// The index-th key matching name ignoring A-Z case, as a walk would find it.
std::pair<std::string, std::string>* FindInModel(Model& keys, const std::string& name, int index) {
  for (auto& key : keys)
    if (dezov::NamesEqual(key.first, name) && index-- == 0) return &key;
  return nullptr;
}
}  // namespace

TEST_F(XmlStoreTest, SetValueCreatesEveryElementOnceAndGetValueFindsThemInAnyCase) {
  OpenOn(store, "");
  EXPECT_TRUE(store.SetValue("DEPLOY", "DEPLOY1", "JYS,1"));
  EXPECT_TRUE(store.SetValue("DEPLOY", "DEPLOY1", std::string("YYB,0")));
  std::string section = "deploy", key = "Deploy1";
  EXPECT_EQ(store.GetValue(section, key), "YYB,0");
  EXPECT_FALSE(store.SetValue("DEPLOY", "DEPLOY1", "x", 1));
  EXPECT_EQ(store.GetValue("DEPLOY", "missing") + store.GetValue("missing", "DEPLOY1"), "");
  // A path creates every missing element, each once.
  EXPECT_TRUE(store.SetValue("a\\b", "c", "1") && store.SetValue("A\\b", "c", "2"));
  EXPECT_FALSE(store.HaveNode("a", 1) || store.HaveNode("a\\b", 1) || store.HaveNode("a\\b\\c", 1));
  EXPECT_EQ(store.GetValue("A\\B", "C"), "2");
}

TEST_F(XmlStoreTest, IndexSelectsAmongKeysOfTheFirstSectionOnly) {
  OpenOn(store, "<S><K Value=\"0\"/><x/><k VALUE=\"1\" other=\"o\"/></S><S><K Value=\"late\"/></S>");
  EXPECT_EQ(store.GetValue("S", "K", 0), "0");
  EXPECT_EQ(store.GetValue("S", "K", 1), "1");  // the attribute name matches in any case
  EXPECT_EQ(store.GetValue("S", "K", 2), "");
  EXPECT_EQ(store.GetValue("S", "K", -1), "");
  EXPECT_TRUE(store.SetValue("S", "K", "2", 1));  // adds a separate, exact-case "Value"
  EXPECT_EQ(store.GetValue("S", "K", 1), "1");
}

TEST_F(XmlStoreTest, NumbersAreDecimalText) {
  OpenOn(store, "<S><A Value=\"12abc\"/></S>");
  EXPECT_TRUE(store.SetValue("S", "N", -42) && store.SetValue("S", "L", LONG_MIN));
  EXPECT_EQ(store.GetValue("S", "N"), "-42");
  EXPECT_EQ(store.GetLong("S", "L"), LONG_MIN);
  EXPECT_EQ(store.GetLong("S", "A") + store.GetLong("S", "absent"), 12);
}

TEST_F(XmlStoreTest, StoreWithoutDocumentReadsEmptyAndRefusesWrites) {
  EXPECT_EQ(store.GetValue("S", "K"), "");
  EXPECT_FALSE(store.SetValue("S", "K", "v") ||
               store.SetValue(nullptr, nullptr, static_cast<const char*>(nullptr)) ||
               store.HaveNode("S") || store.WriteFile());
  EXPECT_EQ(store.GetLastErrMsg(), "WriteFile Fail ( pXMLDoc = NULL )");
  EXPECT_EQ(dir.EntryCount(), 0);
}

TEST_F(XmlStoreTest, FilesLabelledGb2312AreReadAsGbk) {
  // A file written on Windows: GBK-only bytes under the gb2312 label.
  OpenText(store, "<?xml version=\"1.0\" encoding=\"GB2312\"?><vornini><S><K Value=\"" + kGbkOnly +
                      kChinese + "\"/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), kGbkOnly + kChinese);
  // Other encodings are read as declared; a character without a narrow form
  // (a CJK radical) reads as "?".
  OpenText(store, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                  "<vornini><S><K Value=\"\xE4\xB8\xAD\xE2\xBA\x81\"/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), "\xD6\xD0?");
}

TEST_F(XmlStoreTest, TextXmlCannotCarryIsRefusedAndChangesNothing) {
  OpenOn(store, "<S><K Value=\"old\"/></S>");
  EXPECT_FALSE(store.SetValue("S", "K", "bell\x07") || store.SetValue("New", "K", "bad\x01"));
  EXPECT_FALSE(store.SetValue("S", "K", "\x81\x7F"));  // no GBK character
  EXPECT_FALSE(store.SetValue("S\x81", "K", "v"));     // a lone lead byte in a name
  EXPECT_FALSE(store.HaveNode("New") || store.HaveNode("S\x81"));
  EXPECT_EQ(store.GetValue("S", "K"), "old");
  EXPECT_TRUE(store.SetValue("S", "K", "tab\tline\nreturn\r"));  // written as the golden files show
  EXPECT_EQ(WrittenAndReread(store, "S", "K"), "tab\tline\nreturn\r");
}

// A name with a character that has neither a GBK nor a GB18030 four-byte form
// (a CJK radical, from a UTF-8 file) cannot be written.
TEST_F(XmlStoreTest, NamesWithoutGbkFormAreRefused) {
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><vornini><a\xE2\xBA\x81/></vornini>";
  OpenText(store, utf8);
  EXPECT_FALSE(store.WriteFile());
  EXPECT_NE(store.GetLastErrMsg().find("gb2312"), std::string::npos) << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), utf8);
}

// Element paths: first match per level, no backtracking, index among the last
// component's matches, creation only for index 0; only the empty path keeps
// the last error text.
TEST_F(XmlStoreTest, PathsMatchIgnoringCaseWithEqualLengthAndNoBacktracking) {
  OpenOn(store, "<a><B/></a><a><b/><b/></a>");
  EXPECT_TRUE(store.HaveNode("A\\b"));
  EXPECT_FALSE(store.HaveNode("a\\bb"));
  EXPECT_FALSE(store.HaveNode("a\\b", 1));  // only the first a is searched
  EXPECT_FALSE(store.SetValue("a", "b", "x", 1));
  EXPECT_FALSE(store.HaveNode("a\\b", -1));
  EXPECT_TRUE(store.HaveNode("a", 1));
  EXPECT_FALSE(store.HaveNode("a", 2));
  EXPECT_TRUE(store.HaveNode("a\\"));       // a trailing backslash adds nothing
  EXPECT_FALSE(store.HaveNode("a\\\\b"));   // an empty middle component
  EXPECT_FALSE(store.HaveNode("\\a"));
  EXPECT_FALSE(store.HaveNode("vornini"));  // the root is never named
  store.Open("");                           // fails, leaving an error text
  const std::string error = store.GetLastErrMsg();
  std::vector<std::string> keys;
  EXPECT_FALSE(store.HaveNode("") || store.HaveNode(nullptr) || store.SetAttribute("", "a", "v") ||
               store.GetKeysInSection("", keys) || store.RemoveSection("") || store.Append("") ||
               store.ClearAttribute("") || store.RemoveAttribute("", "a") || store.Locate("", ""));
  EXPECT_EQ(store.GetLastErrMsg(), error);  // the empty path keeps it
  EXPECT_FALSE(store.HaveNode("missing"));
  EXPECT_EQ(store.GetLastErrMsg(), "");  // any other path clears it
}

TEST_F(XmlStoreTest, ElementsAreNeverCreatedDeeperThanTheLimit) {
  OpenOn(store, "");
  std::string deep = "e";
  for (int level = 2; level < 999; ++level) deep += "\\e";  // 998 levels below the root
  EXPECT_TRUE(store.SetValue(deep.c_str(), "k", "v"));      // the key is level 1000
  EXPECT_FALSE(store.SetValue(deep.c_str(), "k\\x", "v"));
  EXPECT_FALSE(store.HaveNode((deep + "\\k\\x").c_str()));
  EXPECT_TRUE(store.Append((deep + "\\r").c_str()));
  EXPECT_FALSE(store.Append((deep + "\\r\\r").c_str()));
  EXPECT_FALSE(store.Set("id", "1"));  // a failed Append leaves no cursor
  EXPECT_EQ(WrittenAndReread(store, deep.c_str(), "k"), "v");
}

// Names the DOM refuses raise its exception and change nothing, not even the
// elements before the refused one; the exception can still be caught and read
// after the last store died while it propagated.
TEST(XmlStoreDom, NamesTheDomRefusesRaiseItsExceptionThatOutlivesTheStores) {
  testing_support::TempDir dir;
  testing_support::WriteBytes(dir.File("cfg.xml"), "<vornini><S/></vornini>");
  std::string message;
  try {
    CXmlIni store;
    ASSERT_TRUE(store.Open(dir.File("cfg.xml").c_str()));
    EXPECT_THROW(store.SetValue("", "k", "v"), xercesc::DOMException);
    EXPECT_THROW(store.SetValue("1abc", "k", "v"), xercesc::DOMException);
    EXPECT_THROW(store.SetValue("New\\1abc", "k", "v"), xercesc::DOMException);
    EXPECT_THROW(store.SetAttribute("New\\K", "1bad", "v"), xercesc::DOMException);
    EXPECT_THROW(store.SetAttribute("S", "1bad", "v"), xercesc::DOMException);
    EXPECT_THROW(store.Append("New\\9r"), xercesc::DOMException);
    ASSERT_TRUE(store.Locate("S", ""));
    EXPECT_THROW(store.Set("1bad", "v"), xercesc::DOMException);
    EXPECT_FALSE(store.HaveNode("1abc") || store.HaveNode("New"));
    EXPECT_FALSE(store.HaveAttribute("S", "1bad"));
    // Nothing of them was logged or written: a save leaves the document as it was.
    testing_support::WriteBytes(dir.File("cfg.xml"), "<vornini><S/><T/></vornini>");
    EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
    CXmlIni reread;
    ASSERT_TRUE(reread.Open(dir.File("cfg.xml").c_str()));
    std::vector<std::string> sections;
    ASSERT_TRUE(reread.GetSections(sections));
    EXPECT_EQ(sections, (std::vector<std::string>{"S", "T"}));
    store.SetValue("9bad", "k", "v");
  } catch (const xercesc::DOMException& error) {
    message.assign(error.getMessage() ? "message" : "none");
    EXPECT_EQ(error.code, xercesc::DOMException::INVALID_CHARACTER_ERR);
  }
  EXPECT_FALSE(message.empty());
}

TEST_F(XmlStoreTest, AttributesByPathIgnoreCaseIndexSelectsAndOnlyIndexZeroCreates) {
  OpenOn(store, "<a><b n=\"0\" e=\"\"/>\n<c/><B n=\"1\"/></a><a><b n=\"other\"/></a>");
  EXPECT_EQ(store.GetAttribute("A\\b", "N", 1), "1");
  EXPECT_TRUE(store.HaveAttribute("a\\b", "E") && !store.HaveAttribute("a\\b", "x"));
  EXPECT_FALSE(store.HaveAttribute("a\\b", "n", 2));
  EXPECT_TRUE(store.RemoveAttribute("a\\b", "n", 1));
  EXPECT_FALSE(store.RemoveAttribute("a\\b", "n", 1));
  EXPECT_EQ(store.GetAttribute("a\\b", "n", 0), "0");
  EXPECT_FALSE(store.SetAttribute("new\\leaf", "a", "1", 1));  // only index 0 creates
  EXPECT_TRUE(store.SetAttribute("new\\leaf", "a", "tab\tok"));
  EXPECT_EQ(store.GetAttribute("NEW\\LEAF", "A"), "tab\tok");
}

TEST_F(XmlStoreTest, RemovingAndClearingEveryAttribute) {
  OpenOn(store, "<x a=\"1\" b=\"2\"/><x c=\"3\"/><y/>");
  EXPECT_TRUE(store.RemoveAttribute("x", ""));   // all of the first x
  EXPECT_FALSE(store.RemoveAttribute("x", ""));  // nothing left
  EXPECT_TRUE(store.ClearAttribute("y"));        // nothing to clear is still success
  EXPECT_FALSE(store.ClearAttribute("z"));
  EXPECT_TRUE(store.HaveAttribute("x", "c", 1));
  // The DOM puts back an attribute defaulted by the DTD: clearing must still end.
  std::string text = Document("<x a=\"1\" b=\"2\"/>");
  text.insert(text.find("<vornini"), "<!DOCTYPE vornini [<!ATTLIST x a CDATA \"dflt\">]>");
  OpenText(store, text);
  EXPECT_TRUE(store.ClearAttribute("x") && store.RemoveAttribute("x", ""));
  EXPECT_EQ(store.GetAttribute("x", "a") + store.GetAttribute("x", "b"), "dflt");
}

TEST_F(XmlStoreTest, EnumerationListsDuplicatesAndTheFirstMatchingSectionOnly) {
  Names names = {"earlier"};
  EXPECT_FALSE(store.GetSections(names) || store.RemoveSection("a"));  // no document
  OpenOn(
      store,
      "\n<DEPLOY><k1/>\n<k2/><!--c--><k1/></DEPLOY>text<A><x/></A><deploy/><A/><p><q><r/></q></p>");
  ASSERT_TRUE(store.GetSections(names));
  EXPECT_EQ(names, (Names{"earlier", "DEPLOY", "A", "deploy", "A", "p"}));
  EXPECT_EQ(Keys(store, "Deploy"), (Names{"k1", "k2", "k1"}));
  EXPECT_EQ(Keys(store, "P\\Q"), Names{"r"});
  EXPECT_EQ(Keys(store, "missing"), Names{});
  EXPECT_EQ(Keys(store, ""), Names{"failed"});
}

TEST_F(XmlStoreTest, RemovalTakesEveryMatchOfTheLastComponent) {
  OpenOn(store, "<S><k/><other/><K/></S><s><k/></s><A><x/></A><A><y/></A><T/>");
  EXPECT_FALSE(store.RemoveKey("A", "y"));  // only the first A is searched
  EXPECT_TRUE(store.RemoveKey("s", "k"));
  EXPECT_EQ(Keys(store, "S"), Names{"other"});
  EXPECT_FALSE(store.RemoveSection("S\\\\other"));  // an empty component matches nothing
  EXPECT_TRUE(store.RemoveKey("S", ""));            // "S\" names the sections themselves
  EXPECT_TRUE(store.RemoveSection("a"));
  Names after;
  ASSERT_TRUE(store.GetSections(after));
  EXPECT_EQ(after, Names{"T"});
}


// Lookups in a section large enough to be indexed give exactly what a walk
// over its children gives, also after elements were added and removed.
TEST_F(XmlStoreTest, LookupsInLargeSectionsStayExactUnderChanges) {
  const std::vector<std::string> names = {"a", "A", "b", "B", "ab", "Ab", "k1", "K1", "\xD6\xD0", "x"};
  std::mt19937 random(20261206);
  Model model;
  std::string body = "<L>";
  for (int i = 0; i < 300; ++i) {
    model.emplace_back(names[random() % names.size()], "v" + std::to_string(i));
    body += "<" + model.back().first + " Value=\"" + model.back().second + "\"/><!-- c -->\n";
  }
  OpenOn(store, body + "</L>");

  int next = 1000;
  for (int step = 0; step < 3000; ++step) {
    std::string name = names[random() % names.size()];
    if (random() % 2) name = dezov::FoldName(name);
    const int action = static_cast<int>(random() % 20);
    if (action == 0) {
      const bool removed = store.RemoveKey("L", name.c_str());
      const auto before = model.size();
      model.erase(std::remove_if(model.begin(), model.end(),
                                 [&](const auto& k) { return dezov::NamesEqual(k.first, name); }),
                  model.end());
      ASSERT_EQ(removed, before != model.size()) << step;
    } else if (action < 4) {
      const std::string value = "n" + std::to_string(next++);
      ASSERT_TRUE(store.SetValue("L", name.c_str(), value.c_str()));
      if (auto* existing = FindInModel(model, name, 0))
        existing->second = value;
      else
        model.emplace_back(name, value);
    } else {
      const int index = static_cast<int>(random() % 40) - 1;
      const auto* expected = FindInModel(model, name, index);
      ASSERT_EQ(store.GetValue("L", name.c_str(), index), expected ? expected->second : "")
          << "step " << step << " name " << name << " index " << index;
    }
  }
}

TEST_F(XmlStoreTest, RecordsCursorStateFollowsEachOperation) {
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
