// SPDX-License-Identifier: MIT
// Saves that lose nothing: when the file changed on disk after the store read
// it, WriteFile reads it again and applies the store's own changes on top;
// several processes on one file (POSIX only: they are forked), and a save
// that gives up on a lock held too long. Then the writer against golden files:
// every NAME.xml in tests/xmlini/golden is opened, changed by the optional
// NAME.edits, written, and must give NAME.expected.xml byte for byte; opening
// and writing that output again must not change it. NAME.edits holds one
// change per line, fields separated by tabs, \xHH standing for that byte:
// "set S K V" or "set-attr P A V". With DEZOV20_WRITE_GOLDEN set, the expected
// files are written instead (for a new case; review them before committing).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "XmlFixture.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"

using namespace testing_support;

namespace {

// Rewrites the file in place with `from` replaced by `to` (as an editor that
// saves in place would).
void EditInPlace(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadBytes(path);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  WriteBytes(path, text);
}

std::string Reread(const std::string& path, const char* section, const char* key) {
  CXmlIni store;
  EXPECT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  return store.GetValue(section, key);
}

// Opens path, applies edits, writes it, and returns the file's bytes.
std::string Rewrite(const std::string& path, const std::string& edits) {
  CXmlIni store;
  EXPECT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  std::istringstream lines(edits);
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> f = TabFields(line);
    const bool applied = f.size() == 4 && (f[0] == "set" ? store.SetValue(f[1].c_str(), f[2].c_str(), f[3].c_str())
                                                         : store.SetAttribute(f[1].c_str(), f[2].c_str(), f[3].c_str()));
    EXPECT_TRUE(applied) << "edit not applied: " << line;
  }
  EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  return ReadBytes(path);
}

TEST(XmlGolden, EveryCaseWritesItsExpectedBytes) {
  namespace fs = std::filesystem;
  const fs::path folder = SourceFile("tests/xmlini/golden");
  TempDir dir;
  int cases = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".xml" || file.find(".expected.") != std::string::npos) continue;
    const std::string name = file.substr(0, file.size() - 4);
    SCOPED_TRACE(name);
    ++cases;
    const fs::path editsFile = folder / (name + ".edits");
    const std::string expectedFile = (folder / (name + ".expected.xml")).string();
    WriteBytes(dir.File(file), ReadBytes(entry.path().string()));
    const std::string written =
        Rewrite(dir.File(file), fs::exists(editsFile) ? ReadBytes(editsFile.string()) : "");
    if (std::getenv("DEZOV20_WRITE_GOLDEN")) WriteBytes(expectedFile, written);
    EXPECT_EQ(written, ReadBytes(expectedFile));
    EXPECT_EQ(Rewrite(dir.File(file), ""), written);  // the writer's output is its own fixed point
  }
  EXPECT_GE(cases, 5);
}

}  // namespace

TEST_F(XmlStoreTest, ChangesOnDiskSurviveAndTheStoreWinsWhereBothChangedAKey) {
  OpenOn(store, "<S><K Value=\"1\"/><Other Value=\"o\"/></S>");
  ASSERT_TRUE(store.SetValue("S", "K", "mine"));
  ASSERT_TRUE(store.SetValue("Mine", "A", "x"));
  // Meanwhile by hand: a new section, and both keys of S changed.
  EditInPlace(path, "<S>", "<Hand><H Value=\"h\"/></Hand><S>");
  EditInPlace(path, "<K Value=\"1\"/><Other Value=\"o\"/>",
              "<K Value=\"theirs\"/><Other Value=\"o2\"/>");

  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(Reread(path, "Hand", "H"), "h");
  EXPECT_EQ(Reread(path, "S", "K"), "mine");
  EXPECT_EQ(Reread(path, "S", "Other"), "o2");
  EXPECT_EQ(Reread(path, "Mine", "A"), "x");
  // The store now holds what it wrote, and a save without changes keeps it.
  EXPECT_EQ(store.GetValue("Hand", "H"), "h");
  const std::string written = ReadBytes(path);
  ASSERT_TRUE(store.WriteFile());
  EXPECT_EQ(ReadBytes(path), written);
}

TEST_F(XmlStoreTest, ReplacedAndRemovedFilesAreMergedOrWrittenAnew) {
  OpenOn(store, "<S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("S", "K", "2"));
  // Replaced editor-style: a new file renamed over the old one.
  WriteBytes(dir.File("new.xml"), Document("<S><K Value=\"1\"/></S><Renamed Value=\"r\"/>"));
  std::filesystem::rename(dir.File("new.xml"), path);  // replaces the target on Windows too
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(Reread(path, "Renamed", ""), "r");
  EXPECT_EQ(Reread(path, "S", "K"), "2");

  // Removed: the store's whole document is written anew.
  ASSERT_TRUE(store.SetValue("S", "K", "3"));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(Reread(path, "S", "K"), "3");
  EXPECT_EQ(Reread(path, "Renamed", ""), "r");
}

TEST_F(XmlStoreTest, RemovalsAttributesAndRecordsAreAppliedOnTopOfTheFile) {
  OpenOn(store,
         "<S><Gone Value=\"g\"/><K Value=\"v\" extra=\"e\"/></S><Clr a=\"1\" b=\"2\"/>"
         "<list><rec id=\"1\"/></list>");
  ASSERT_TRUE(store.RemoveKey("S", "Gone"));
  ASSERT_TRUE(store.RemoveAttribute("S\\K", "extra"));
  ASSERT_TRUE(store.ClearAttribute("Clr"));
  ASSERT_TRUE(store.Append("list\\rec"));
  ASSERT_TRUE(store.Set("id", "mine"));
  ASSERT_TRUE(store.Locate("list", "rec"));
  ASSERT_TRUE(store.Set("owner", "me"));  // on the list element itself
  // Meanwhile another program added a key and a record of its own.
  EditInPlace(path, "<K Value=\"v\"", "<New Value=\"n\"/><K Value=\"v\"");
  EditInPlace(path, "<rec id=\"1\"/>", "<rec id=\"1\"/><rec id=\"theirs\"/>");

  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str()));
  EXPECT_FALSE(reread.HaveNode("S\\Gone"));
  EXPECT_EQ(reread.GetValue("S", "New"), "n");
  EXPECT_EQ(reread.GetValue("S", "K"), "v");
  EXPECT_FALSE(reread.HaveAttribute("S\\K", "extra"));
  EXPECT_TRUE(reread.HaveNode("Clr"));
  EXPECT_FALSE(reread.HaveAttribute("Clr", "a") || reread.HaveAttribute("Clr", "b"));
  ASSERT_TRUE(reread.Locate("list", "rec"));
  ASSERT_EQ(reread.GetCount(), 3);
  EXPECT_EQ(reread.Get("id", 0), "1");
  EXPECT_EQ(reread.Get("id", 1), "theirs");
  EXPECT_EQ(reread.Get("id", 2), "mine");
  EXPECT_EQ(reread.GetAttribute("list", "owner"), "me");
  // The merge replaced the store's document: its cursor starts over.
  EXPECT_FALSE(store.Set("late", "x"));
  ASSERT_TRUE(store.Locate("list", "rec"));
  EXPECT_EQ(store.GetCount(), 3);
}

TEST_F(XmlStoreTest, CopiesShareTheChangesTheyMade) {
  OpenOn(store, "<S><K Value=\"1\"/></S>");
  CXmlIni copy(store);
  ASSERT_TRUE(copy.SetValue("Copy", "K", "c"));
  EditInPlace(path, "<S>", "<Hand Value=\"h\"/><S>");
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(Reread(path, "Copy", "K"), "c");
  EXPECT_EQ(Reread(path, "Hand", ""), "h");
  // Written once: the copy's next save does not add them again.
  ASSERT_TRUE(copy.Append("Copy\\Row"));
  EditInPlace(path, "<Hand", "<Hand2/><Hand");
  ASSERT_TRUE(copy.WriteFile()) << copy.GetLastErrMsg();
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str()));
  std::vector<std::string> keys;
  ASSERT_TRUE(reread.GetKeysInSection("Copy", keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"K", "Row"}));
  EXPECT_TRUE(reread.HaveNode("Hand2"));
}

TEST_F(XmlStoreTest, AFileThatChangedIntoSomethingUnreadableIsNotOverwritten) {
  OpenOn(store, "<S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("S", "K", "2"));
  WriteBytes(path, "<?xml version=\"1.0\"?><vornini><half");
  EXPECT_FALSE(store.WriteFile());
  EXPECT_NE(store.GetLastErrMsg().find("changed on disk"), std::string::npos)
      << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), "<?xml version=\"1.0\"?><vornini><half");
  // Once the file is readable again the change goes through.
  WriteBytes(path, Document("<S><K Value=\"1\"/></S><Fixed/>"));
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(Reread(path, "S", "K"), "2");
}

#ifndef _WIN32
TEST_F(XmlStoreTest, FourProcessesSavingTheirOwnKeysLoseNone) {
  constexpr int kProcesses = 4;
  constexpr int kCycles = 200;
  {
    CXmlIni create;
    ASSERT_FALSE(create.Open(path.c_str()));  // writes the default document
  }
  const int succeeded = RunInChildren(
      kProcesses,
      [&](int process) {
        const std::string section = "P" + std::to_string(process);
        for (int cycle = 0; cycle < kCycles; ++cycle) {
          CXmlIni store;
          const std::string key = "K" + std::to_string(cycle);
          if (!store.Open(path.c_str()) || !store.SetValue(section.c_str(), key.c_str(), cycle) ||
              !store.WriteFile())
            return 1;
        }
        return 0;
      },
      std::chrono::seconds(240));
  EXPECT_EQ(succeeded, kProcesses);
  CXmlIni store;
  ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  int found = 0;
  for (int process = 0; process < kProcesses; ++process) {
    const std::string section = "P" + std::to_string(process);
    for (int cycle = 0; cycle < kCycles; ++cycle)
      found += store.GetLong(section.c_str(), ("K" + std::to_string(cycle)).c_str()) == cycle &&
               store.HaveNode((section + "\\K" + std::to_string(cycle)).c_str());
  }
  EXPECT_EQ(found, kProcesses * kCycles);
}

TEST_F(XmlStoreTest, ProcessesOpeningAMissingFileAtOnceLeaveOneDocumentThatOpens) {
  for (int round = 0; round < 200; ++round) {
    std::remove(path.c_str());
    // Each open either creates the file (false, no error) or loads a whole one.
    const int clean = RunInChildren(
        4,
        [&](int) {
          CXmlIni store;
          return store.Open(path.c_str()) || store.GetLastErrMsg().empty() ? 0 : 1;
        },
        std::chrono::seconds(30));
    ASSERT_EQ(clean, 4) << "round " << round;
    CXmlIni store;
    ASSERT_TRUE(store.Open(path.c_str())) << "round " << round << ": " << store.GetLastErrMsg();
  }
}

// The store's side of a held lock: false with the reason, the file as it was,
// the change kept for the next save. (Real holders in other processes are
// the save protocol's tests.)
TEST_F(XmlStoreTest, ASaveGivesUpOnALockHeldTooLongAndKeepsItsChange) {
  OpenOn(store, "<S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("S", "K", "2"));
  const std::string before = ReadBytes(path);
  {
    FaultyFileSystem held;  // the lock always taken, no time waited
    held.lockHeld = held.noWaits = true;
    dezov::platform::ScopedFileSystem installed(held);
    EXPECT_FALSE(store.WriteFile());
  }
  EXPECT_NE(store.GetLastErrMsg().find("locked"), std::string::npos) << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(WrittenAndReread(store, "S", "K"), "2");
}
#endif  // _WIN32

// ---- Changes made on one element ---------------------------------------
// A change by an index above 0, on the cursor's element, or an Append lands
// on the element it was made on, found again in the file's new content; where
// that cannot be done without guessing, the save fails with a conflict, writes
// nothing and keeps the change.

namespace {

// What another program does to the file between the store's read and its
// save: `from` replaced by `to` in the file's text, saved editor-style.
struct DiskEdit {
  const char* what;
  const char* from;
  const char* to;
  bool conflict;
};

// The bytes the writer gives for Document(body): what a merge must leave.
std::string WrittenForm(const TempDir& dir, const std::string& body) {
  const std::string file = dir.File("expected.xml");
  WriteBytes(file, XmlStoreTest::Document(body));
  CXmlIni writer;
  EXPECT_TRUE(writer.Open(file.c_str())) << writer.GetLastErrMsg();
  EXPECT_TRUE(writer.WriteFile()) << writer.GetLastErrMsg();
  return ReadBytes(file);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Opens base, makes change, lets edit happen on disk, saves, and checks the
// file's bytes: target replaced by changed where the save goes through, the
// edited file as it was after a conflict naming where.
void CheckPositionalSave(const TempDir& dir, const std::string& base,
                         const std::function<bool(CXmlIni&)>& change, const std::string& target,
                         const std::string& changed, const DiskEdit& edit,
                         const std::string& where) {
  SCOPED_TRACE(edit.what);
  const std::string path = dir.File("cfg.xml");
  WriteBytes(path, XmlStoreTest::Document(base));
  CXmlIni store;
  ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  ASSERT_TRUE(change(store));
  const std::string edited = Replaced(base, edit.from, edit.to);
  ReplaceByRename(path, XmlStoreTest::Document(edited));
  if (!edit.conflict) {
    ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
    EXPECT_EQ(ReadBytes(path), WrittenForm(dir, Replaced(edited, target, changed)));
    return;
  }
  EXPECT_FALSE(store.WriteFile());
  EXPECT_EQ(store.GetLastErrMsg().find("WriteFile Fail ( conflict: " + where + " changed on disk"),
            0u)
      << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), XmlStoreTest::Document(edited));
  // The store keeps its change: once the element can be told again, it lands.
  ReplaceByRename(path, XmlStoreTest::Document(base));
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), WrittenForm(dir, Replaced(base, target, changed)));
}

}  // namespace

TEST(XmlPositionalMerge, KeysAndAttributesByIndexFollowTheirElement) {
  TempDir dir;
  const std::string base =
      "<S><K Value=\"first\"/><K Value=\"second\"/><K Value=\"third\"/></S><T/>";
  const std::string target = "<K Value=\"second\"/>";
  const DiskEdit edits[] = {
      {"a key inserted in front", "<S>", "<S><K Value=\"new\"/>", false},
      {"the first key removed", "<K Value=\"first\"/>", "", false},
      {"keys reordered", "<K Value=\"first\"/><K Value=\"second\"/><K Value=\"third\"/>",
       "<K Value=\"third\"/><K Value=\"second\"/><K Value=\"first\"/>", false},
      {"another section changed", "<T/>", "<T a=\"1\"/><U/>", false},
      {"the key removed", "<K Value=\"second\"/>", "", true},
      {"the key changed", "<K Value=\"second\"/>", "<K Value=\"theirs\"/>", true},
      {"the key doubled", "<K Value=\"third\"/>", "<K Value=\"second\"/>", true},
  };
  struct Operation {
    const char* what;
    std::function<bool(CXmlIni&)> change;
    const char* changed;
  } operations[] = {
      {"SetValue", [](CXmlIni& s) { return s.SetValue("S", "K", "mine", 1); },
       "<K Value=\"mine\"/>"},
      {"SetAttribute", [](CXmlIni& s) { return s.SetAttribute("S\\K", "Extra", "e", 1); },
       "<K Value=\"second\" Extra=\"e\"/>"},
      {"RemoveAttribute", [](CXmlIni& s) { return s.RemoveAttribute("S\\K", "value", 1); },
       "<K/>"},
      {"several changes", [](CXmlIni& s) {
         return s.SetValue("S", "K", "one", 1) && s.SetAttribute("S\\K", "Extra", "e", 1) &&
                s.SetValue("S", "K", "mine", 1);
       }, "<K Value=\"mine\" Extra=\"e\"/>"},
  };
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.what);
    for (const DiskEdit& edit : edits)
      CheckPositionalSave(dir, base, operation.change, target, operation.changed, edit, "S\\K[1]");
  }
}

TEST(XmlPositionalMerge, AppendAndTheCursorFollowTheirList) {
  TempDir dir;
  // Two lists told apart by what they hold only.
  const std::string base = "<L><r id=\"a\"/><r id=\"b\"/></L><L><r id=\"c\"/></L>";
  const std::string target = "<L><r id=\"a\"/><r id=\"b\"/></L>";
  const DiskEdit edits[] = {
      {"a list inserted in front", "<L>", "<L><r id=\"z\"/></L><L>", false},
      {"the lists reordered", base.c_str(), "<L><r id=\"c\"/></L><L><r id=\"a\"/><r id=\"b\"/></L>",
       false},
      {"the other list removed", "<L><r id=\"c\"/></L>", "", false},
      {"the list removed", "<L><r id=\"a\"/><r id=\"b\"/></L>", "", true},
      {"a list inserted and this one changed", "<L><r id=\"a\"/>",
       "<L><r id=\"z\"/></L><L><r id=\"a\"/><r id=\"y\"/>", true},
  };
  struct Operation {
    const char* what;
    std::function<bool(CXmlIni&)> change;
    const char* changed;
  } operations[] = {
      {"Append and Set", [](CXmlIni& s) { return s.Append("L\\r") && s.Set("id", "mine"); },
       "<L><r id=\"a\"/><r id=\"b\"/><r id=\"mine\"/></L>"},
      {"Locate and Set", [](CXmlIni& s) { return s.Locate("L", "r") && s.Set("owner", "me"); },
       "<L owner=\"me\"><r id=\"a\"/><r id=\"b\"/></L>"},
      {"Append below an appended record",
       [](CXmlIni& s) {
         return s.Append("L\\r") && s.Set("id", "mine") && s.Append("L\\r\\sub") &&
                s.Set("n", "1");
       },
       "<L><r id=\"a\"><sub n=\"1\"/></r><r id=\"b\"/><r id=\"mine\"/></L>"},
  };
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.what);
    for (const DiskEdit& edit : edits)
      CheckPositionalSave(dir, base, operation.change, target, operation.changed, edit, "L");
  }
}

// Elements with the same attributes are told apart by what they hold, or by
// their place where nothing moved among them; where neither tells, a conflict.
TEST(XmlPositionalMerge, ElementsWithTheSameAttributesAreToldApartOrRefused) {
  TempDir dir;
  const auto appendMine = [](CXmlIni& s) { return s.Append("L\\r") && s.Set("id", "mine"); };
  const auto setOwner = [](CXmlIni& s) { return s.Locate("L", "r") && s.Set("owner", "me"); };
  const auto setSecond = [](CXmlIni& s) { return s.SetValue("S", "K", "mine", 1); };
  const std::string same = "<L><r/></L><L><r/></L><T/>";
  const std::string differ = "<L><r id=\"a\"/></L><L><r id=\"c\"/></L>";
  struct Case {
    std::string base;
    std::function<bool(CXmlIni&)> change;
    std::string target, changed;
    DiskEdit edit;
    std::string where;
  } cases[] = {
      {same, appendMine, "<L><r/></L>", "<L><r/><r id=\"mine\"/></L>",
       {"identical lists, another section changed", "<T/>", "<T a=\"1\"/>", false}, ""},
      {same, appendMine, "<L><r/></L>", "<L><r/><r id=\"mine\"/></L>",
       {"identical lists, one more inserted", "<L>", "<L><r/></L><L>", true}, "L"},
      {differ, setOwner, "<L><r id=\"a\"/><r id=\"t\"/></L>",
       "<L owner=\"me\"><r id=\"a\"/><r id=\"t\"/></L>",
       {"a record added in place", "<r id=\"a\"/>", "<r id=\"a\"/><r id=\"t\"/>", false}, ""},
      {differ, setOwner, "<L><r id=\"a\"/></L>", "<L owner=\"me\"><r id=\"a\"/></L>",
       {"lists swapped and this one changed", differ.c_str(),
        "<L><r id=\"c\"/></L><L><r id=\"a\"/><r id=\"t\"/></L>", true},
       "L"},
      {"<S><K Value=\"x\"/><K Value=\"x\"/></S><T/>", setSecond, "<K Value=\"x\"/></S>",
       "<K Value=\"mine\"/></S>", {"identical keys, another section changed", "<T/>", "<U/>", false},
       ""},
      {"<S><K Value=\"x\"/><K Value=\"x\"/></S>", setSecond, "<K Value=\"x\"/></S>",
       "<K Value=\"mine\"/></S>", {"identical keys, the first removed", "<K Value=\"x\"/>", "", true},
       "S\\K[1]"},
  };
  for (const Case& c : cases)
    CheckPositionalSave(dir, c.base, c.change, c.target, c.changed, c.edit, c.where);
}
