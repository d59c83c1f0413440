// SPDX-License-Identifier: MIT
// Every refusal of the XML store, with the reason it gives and the file left
// as it was: one row per refusal, run on a fresh store over the same file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "XmlFixture.h"
#include "support/FaultyFileSystem.h"

using namespace testing_support;

namespace {

struct Refusal {
  const char* what;
  bool open;  // the store opens cfg.xml (base) first
  // Makes the store's state and the file's; the refused call comes after.
  std::function<void(CXmlIni&, const std::string& path)> prepare;
  std::function<bool(CXmlIni&, const std::string& path)> refused;
  std::string reason;  // a part of the error text
};

const std::string kBase =
    "<S><K Value=\"first\"/><K Value=\"second\"/></S><L><r id=\"a\"/></L><Bare/>";

void Nothing(CXmlIni&, const std::string&) {}

std::string Deep() {  // 999 levels below the root
  std::string deep = "e";
  for (int level = 2; level < 1000; ++level) deep += "\\e";
  return deep;
}

}  // namespace

TEST_F(XmlStoreTest, EveryRefusalSaysWhyAndLeavesTheFileAsItWas) {
  const std::string missing = dir.File("no/such/dir/x.xml");
  const std::string memory = Document(kBase);
  const std::string deep = Deep();
  const auto onDisk = [](const std::string& text) {
    return [text](CXmlIni&, const std::string& file) { ReplaceByRename(file, text); };
  };
  const Refusal refusals[] = {
      // Opening.
      {"Open, no such directory", false, Nothing,
       [&](CXmlIni& s, const std::string&) { return s.Open(missing.c_str()); },
       "open xml file error: " + missing + ": "},
      {"Open, empty name", false, Nothing, [](CXmlIni& s, const std::string&) { return s.Open(""); },
       "open xml file error: the file name is empty"},
      {"Open, a directory", false, Nothing,
       [&](CXmlIni& s, const std::string&) { return s.Open(dir.path().c_str()); },
       "'" + dir.path() + "': "},  // as the system said it
      {"Open, broken XML", false, onDisk(Document("<S>")),
       [](CXmlIni& s, const std::string& file) { return s.Open(file.c_str()); },
       "An error occurred during parsing Message: "},
      {"Open, another root", false, onDisk("<?xml version=\"1.0\"?><config/>"),
       [](CXmlIni& s, const std::string& file) { return s.Open(file.c_str()); },
       "XML Root IXMLElement Invalid "},
      {"Open, bytes that are not GBK", false, onDisk(Document("<S v=\"\x81\x7F\"/>")),
       [](CXmlIni& s, const std::string& file) { return s.Open(file.c_str()); },
       "bytes 81 7F 22 2F are not gb2312 (line 2, column 42)"},
      {"OpenBuffer, no bytes", false, Nothing,
       [](CXmlIni& s, const std::string&) { return s.OpenBuffer(nullptr, 4); },
       "no bytes at a null address"},
      {"OpenBuffer, another root", false, Nothing,
       [](CXmlIni& s, const std::string&) { return s.OpenBuffer("<other/>", 8); },
       "XML Root IXMLElement Invalid "},
      // Writing.
      {"WriteFile, nothing opened", false, Nothing,
       [](CXmlIni& s, const std::string&) { return s.WriteFile(); },
       "WriteFile Fail ( pXMLDoc = NULL )"},
      {"WriteFile, opened from memory", false,
       [&](CXmlIni& s, const std::string&) { s.OpenBuffer(memory.data(), memory.size()); },
       [](CXmlIni& s, const std::string&) { return s.WriteFile(); },
       "WriteFile Fail ( no file to write: the store was opened from memory )"},
      {"WriteFile, lock held too long", true, Nothing,
       [&](CXmlIni& s, const std::string&) {
         FaultyFileSystem held;
         held.lockHeld = held.noWaits = true;
         const bool saved = [&] {
           dezov::platform::ScopedFileSystem installed(held);
           return s.SetValue("S", "K", "v") && s.WriteFile();
         }();
         RemoveLockFilesOfTheHolder(dir);
         return saved;
       },
       "is locked: another program is saving it"},
      {"WriteFile, disk full", true, Nothing,
       [](CXmlIni& s, const std::string&) {
         FaultyFileSystem full;
         full.failAfterBytes = 10;
         dezov::platform::ScopedFileSystem installed(full);
         return s.SetValue("S", "K", "v") && s.WriteFile();
       },
       "WriteFile Fail ( cannot write '"},
      {"WriteFile, file became unreadable", true, onDisk("<vornini><S>"),
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "K", "v") && s.WriteFile(); },
       "the file changed on disk and cannot be read"},
      {"WriteFile, file lost its root", true, onDisk("<other/>"),
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "K", "v") && s.WriteFile(); },
       "no longer has the root element vornini"},
      {"WriteFile, element changed on disk", true, onDisk(Document("<S><K Value=\"x\"/></S>")),
       [](CXmlIni& s, const std::string&) {
         return s.SetValue("S", "K", "v", 1) && s.WriteFile();
       },
       "WriteFile Fail ( conflict: S\\K[1] changed on disk since it was read"},
      {"WriteFile, name without a gb2312 form", false,
       onDisk("<?xml version=\"1.0\" encoding=\"UTF-8\"?><vornini><a\xE2\xBA\x81/></vornini>"),
       [](CXmlIni& s, const std::string& file) { return s.Open(file.c_str()) && s.WriteFile(); },
       "gb2312"},
      // Values and attributes.
      {"SetValue, nothing opened", false, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "K", "v"); },
       "SetValue Fail ( no document: nothing was opened )"},
      {"SetValue, no such index", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "Missing", "v", 1); },
       "SetValue Fail ( S\\Missing[1]: no such element (only index 0 is created) )"},
      {"SetValue, negative index", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "K", "v", -1); },
       "SetValue Fail ( S\\K[-1]: no such element"},
      {"SetValue, text XML cannot carry", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetValue("S", "K", "bell\x07"); },
       "SetValue Fail ( the text cannot be stored in XML )"},
      {"SetValue, too deep", true, Nothing,
       [&](CXmlIni& s, const std::string&) { return s.SetValue(deep.c_str(), "k", "v"); },
       "nest elements deeper than 1000 levels"},
      {"SetValue, name that is not GBK", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetValue("S\x81", "K", "v"); },
       "the element name S\x81 is not gb2312 text"},
      {"SetAttribute, no such index", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.SetAttribute("S\\K", "a", "v", 2); },
       "SetAttribute Fail ( S\\K[2]: no such element"},
      {"RemoveAttribute, no such element", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.RemoveAttribute("S\\K", "Value", 2); },
       "RemoveAttribute Fail ( S\\K[2]: no such element )"},
      {"RemoveAttribute, no such attribute", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.RemoveAttribute("S\\K", "x", 1); },
       "RemoveAttribute Fail ( S\\K[1]: no attribute x )"},
      {"RemoveAttribute, none to remove", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.RemoveAttribute("Bare", ""); },
       "RemoveAttribute Fail ( Bare: no attributes )"},
      {"ClearAttribute, no such element", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.ClearAttribute("Nope"); },
       "ClearAttribute Fail ( Nope: no such element )"},
      // Enumeration and removal.
      {"GetSections, nothing opened", false, Nothing,
       [](CXmlIni& s, const std::string&) {
         std::vector<std::string> names;
         return s.GetSections(names);
       },
       "GetSections Fail ( no document"},
      {"GetKeysInSection, nothing opened", false, Nothing,
       [](CXmlIni& s, const std::string&) {
         std::vector<std::string> names;
         return s.GetKeysInSection("S", names);
       },
       "GetKeysInSection Fail ( no document"},
      {"RemoveSection, no such section", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.RemoveSection("Nope"); },
       "RemoveSection Fail ( Nope: no such element )"},
      {"RemoveKey, no such key", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.RemoveKey("S", "Nope"); },
       "RemoveSection Fail ( S\\Nope: no such element )"},
      // Records.
      {"Locate, no such records", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.Locate("L", "none"); },
       "Locate Fail ( L\\none: no such element )"},
      {"Append, nothing opened", false, Nothing,
       [](CXmlIni& s, const std::string&) { return s.Append("L\\r"); },
       "Append Fail ( no document"},
      {"Append, too deep", true, Nothing,
       [&](CXmlIni& s, const std::string&) { return s.Append((deep + "\\r").c_str()); },
       "Append Fail ( " + deep + "\\r: it would nest elements deeper than 1000 levels )"},
      {"Set, text XML cannot carry", true, Nothing,
       [](CXmlIni& s, const std::string&) { return s.Locate("L", "r") && s.Set("id", "\x01"); },
       "Set Fail ( the text cannot be stored in XML )"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    WriteBytes(path, Document(kBase));
    CXmlIni fresh;
    if (refusal.open) {
      ASSERT_TRUE(fresh.Open(path.c_str())) << fresh.GetLastErrMsg();
    }
    refusal.prepare(fresh, path);
    const std::string before = ReadBytes(path);
    EXPECT_FALSE(refusal.refused(fresh, path));
    EXPECT_NE(fresh.GetLastErrMsg().find(refusal.reason), std::string::npos)
        << fresh.GetLastErrMsg();
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1);
  }
}

#ifndef _WIN32
// As the INI store says it: the current directory was removed under the process.
TEST_F(XmlStoreTest, OpeningInARemovedCurrentDirectorySaysWhy) {
  std::string previous(4096, '\0');
  ASSERT_NE(::getcwd(&previous[0], previous.size()), nullptr);
  const std::string gone = dir.File("gone");
  ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
  ASSERT_EQ(::chdir(gone.c_str()), 0);
  ASSERT_EQ(::rmdir(gone.c_str()), 0);
  const bool opened = store.OpenAtExeDirectory("cfg.xml");
  const std::string reason = store.GetLastErrMsg();
  ASSERT_EQ(::chdir(previous.c_str()), 0);
  EXPECT_FALSE(opened);
  EXPECT_EQ(reason.rfind("cannot read the current directory: ", 0), 0u) << reason;
  EXPECT_GT(reason.size(), std::string("cannot read the current directory: ").size());
  EXPECT_EQ(dir.EntryCount(), 0);
}
#endif
