// SPDX-License-Identifier: MIT
// The INI store's values (lookups, case, duplicates, fields, SetValue's
// refusals, removal, name lists, copies and the name index), and reading and
// writing INI files: what each line reads as, the modified flags,
// Open's outcomes, a very long line, saves that lose no other program's change
// (the file changed on disk between Open and a save is read again and the
// store's changes are made on top), and the round trip against golden files:
// every NAME.ini in tests/ini/golden is opened, changed by the optional
// NAME.edits, rewritten, and must give NAME.expected.ini byte for byte;
// rewriting that output again must not change it. NAME.edits holds one change
// per line, fields separated by tabs: "set S K V", "remove-key S K" or
// "remove-section S"; \xHH stands for that byte. With DEZOV20_WRITE_GOLDEN
// set, the expected files are written instead (for a new case; review them
// before committing). How a save survives faults, links and modes is the save
// protocol's (tests/platform); NUL bytes are a golden case (nul-bytes.ini),
// arbitrary bytes rewriting stably is the INI fuzzer's check.
#include <gtest/gtest.h>

#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "include/KdIni.h"
#include "ini/IniParser.h"
#include "platform/FileSystem.h"
#include "support/ChildProcesses.h"
#include "support/FaultyFileSystem.h"
#include "support/TestFiles.h"
#include "text/TextUtil.h"

using namespace testing_support;

namespace {

// A private directory with one file in it to work on, and a store that can
// be read from text written there (through a file, as callers get one).
class IniFile : public ::testing::Test {
 protected:
  void Load(const std::string& text) {
    WriteBytes(path, text);
    ASSERT_TRUE(ini_.Open(path.c_str()));
  }
  TempDir dir;
  std::string path = dir.File("test.ini");
  CKdIni ini_;
};
using IniValues = IniFile;

TEST_F(IniValues, NamesMatchIgnoringCaseAndFirstOccurrenceWins) {
  Load("[System]\nPort=1\nport=2\nEmpty=\n[SYSTEM]\nPort=3\nOnly=4\n");
  EXPECT_EQ(ini_.GetValue("system", "PORT"), "1");
  EXPECT_EQ(ini_.GetValue("System", "Empty", "dflt"), "");
  EXPECT_EQ(ini_.GetValue("System", "Only", "dflt"), "dflt");  // second section never reached
  EXPECT_EQ(ini_.GetValue(" System", "Port", "dflt"), "dflt");  // names are not trimmed
  EXPECT_EQ(ini_.GetValue(nullptr, nullptr, nullptr), "");
  EXPECT_TRUE(ini_.SetValue("SYSTEM", "pORT", "9"));
  EXPECT_EQ(ini_.vecSections[0]->vecKeys[0]->strName, "Port");  // stored case kept
  EXPECT_EQ(ini_.vecSections[0]->vecKeys[1]->strValue, "2");
  std::vector<std::string> keys{"stale"};
  EXPECT_TRUE(ini_.GetKeysInSection("system", keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"Port", "port", "Empty"}));
  EXPECT_FALSE(ini_.GetKeysInSection("missing", keys));
  EXPECT_TRUE(keys.empty());
  std::vector<std::string> sections{"x"};
  ini_.GetSections(sections);  // appends
  EXPECT_EQ(sections, (std::vector<std::string>{"x", "System", "SYSTEM"}));
  EXPECT_TRUE(ini_.RemoveKey("system", "PORT"));  // now the second one is first
  EXPECT_EQ(ini_.GetValue("System", "Port"), "2");
  EXPECT_TRUE(ini_.RemoveSection("system"));
  EXPECT_EQ(ini_.GetValue("System", "Only"), "4");
  EXPECT_FALSE(ini_.RemoveKey("System", "Gone") || ini_.RemoveSection("Gone"));
}

TEST_F(IniValues, NumbersAndFields) {
  Load("[N]\na=12abc\nlist=a,b,,c\ntrail=a,b,\nnone=\n");
  EXPECT_EQ(ini_.GetLong("N", "a"), 12);  // read as atol does
  const std::vector<std::string> list = {ini_.GetSubValue("N", "list", -1, ','),
                                         ini_.GetSubValue("N", "list", 2, ','),
                                         ini_.GetSubValue("N", "list", 3, ','),
                                         ini_.GetSubValue("N", "list", 4, ',')};
  EXPECT_EQ(list, (std::vector<std::string>{"", "", "c", ""}));
  EXPECT_EQ(ini_.GetSubValue("N", "trail", 1, ',') + ini_.GetSubValue("N", "trail", 2, ','), "b");
  EXPECT_EQ(ini_.GetSubValue("N", "none", 0, ','), "");
}

// What SetValue accepts reads back identically after a save and a new Open;
// what it refuses leaves the store as it was, with a reason. Texts are drawn
// from the characters the line grammar gives a meaning, over keys that are
// new, that exist, and that carry a comment.
TEST_F(IniValues, WhatSetValueAcceptsReadsBackIdentically) {
  Load("[Old]\nkept=1 // note\nplain=2\n");
  const char alphabet[] = {'a', 'B', '/', '/', '=', ';', '[', ']', ' ', '\t', '\n', '\r', '*', '#'};
  std::mt19937 random(20240602);
  auto draw = [&](std::size_t most) {
    std::string text;
    for (std::size_t n = random() % (most + 1); n > 0; --n) text += alphabet[random() % sizeof alphabet];
    return text;
  };
  const char* fixedKeys[] = {"kept", "plain", "new"};
  std::vector<std::pair<std::string, std::string>> accepted;
  int refusals = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string section = i % 3 == 0 ? "Old" : draw(3);
    const std::string key = i % 2 == 0 ? fixedKeys[random() % 3] : draw(3);
    const std::string value = draw(6);
    const bool wasModified = ini_.bModified;
    const std::string before = ini_.GetValue(section.c_str(), key.c_str(), "\x01");
    if (ini_.SetValue(section.c_str(), key.c_str(), value.c_str())) {
      EXPECT_EQ(ini_.GetLastErrMsg(), "");
      // The value is held as the reader will give it: without outer white space.
      std::string_view trimmed = value;
      while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.front()))) trimmed.remove_prefix(1);
      while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.remove_suffix(1);
      EXPECT_EQ(ini_.GetValue(section.c_str(), key.c_str()), trimmed);
      accepted.emplace_back(section, key);
    } else {
      ++refusals;
      EXPECT_EQ(ini_.GetValue(section.c_str(), key.c_str(), "\x01"), before);
      EXPECT_EQ(ini_.bModified, wasModified);
      EXPECT_NE(ini_.GetLastErrMsg().find("cannot set key '" + key + "' in section '" + section),
                std::string::npos) << ini_.GetLastErrMsg();
    }
  }
  EXPECT_GT(refusals, 300);
  EXPECT_GT(accepted.size(), 1000u);
  ASSERT_TRUE(ini_.WriteFile()) << ini_.GetLastErrMsg();
  CKdIni back;
  ASSERT_TRUE(back.Open(path.c_str()));
  for (const auto& [section, key] : accepted) {
    ASSERT_TRUE(back.HaveKey(section.c_str(), key.c_str())) << section << "|" << key;
    EXPECT_EQ(back.GetValue(section.c_str(), key.c_str()),
              ini_.GetValue(section.c_str(), key.c_str())) << section << "|" << key;
  }
  EXPECT_TRUE(back.HaveKey("Old", "kept"));
  EXPECT_EQ(back.vecSections[0]->vecKeys[0]->strComment, " note");  // kept through every set

  // Named cases: odd but allowed texts, and the value a URL gives.
  EXPECT_TRUE(back.SetValue("", "", "empty names") && back.SetValue("a[b", "k;x/y", "//share") &&
              back.SetValue("S", "pad", " \t spaced \r\n"));
  EXPECT_FALSE(back.SetValue("S", "url", "http://example.com/y"));
  EXPECT_FALSE(back.HaveKey("S", "url"));
  ASSERT_TRUE(back.WriteFile());
  EXPECT_NE(ReadBytes(path).find("[S]\npad=spaced\n"), std::string::npos);
  CKdIni again;
  ASSERT_TRUE(again.Open(path.c_str()));
  EXPECT_EQ(again.GetValue("", ""), "empty names");
  EXPECT_EQ(again.GetValue("a[b", "k;x/y"), "//share");
  EXPECT_EQ(again.GetValue("S", "pad"), "spaced");
}

TEST(IniCopies, AreDeep) {
  CKdIni original;
  ASSERT_TRUE(original.SetValue("A", "x", "1"));
  CKdIni copy(original);
  ASSERT_TRUE(copy.SetValue("A", "x", "2"));
  EXPECT_EQ(original.GetValue("A", "x"), "1");
  original = copy;
  const CKdIni& alias = original;
  original = alias;  // assignment to itself
  EXPECT_EQ(original.GetValue("A", "x"), "2");
  CKdIni::CIniSection section(*copy.vecSections[0]);
  section = *original.vecSections[0];
  EXPECT_NE(section.vecKeys[0], original.vecSections[0]->vecKeys[0]);
}

// Every lookup through the index must equal a scan of the public lists in
// order, however the lists were changed.
std::string ScanValue(const CKdIni& ini, const std::string& section, const std::string& key) {
  for (const CKdIni::CIniSection* s : ini.vecSections) {
    if (!dezov::NamesEqual(s->strName, section)) continue;
    for (const CKdIni::CIniKey* k : s->vecKeys)
      if (dezov::NamesEqual(k->strName, key)) return k->strValue;
    break;
  }
  return "-";
}

TEST(IniIndex, AgreesWithAScanUnderEveryChange) {
  const char* names[] = {"a", "A", "b", "B", "c", "dd", "Dd", ""};
  std::mt19937 random(20240601);
  CKdIni ini;
  for (int step = 0; step < 4000; ++step) {
    const std::string section = names[random() % 8];
    const std::string key = names[random() % 8];
    const unsigned action = random() % 6;
    if (action < 2) ini.SetValue(section.c_str(), key.c_str(), std::to_string(step).c_str());
    if (action == 2) ini.RemoveKey(section.c_str(), key.c_str());
    if (action == 3 && step % 7 == 0) ini.RemoveSection(section.c_str());
    if (action == 4 && !ini.vecSections.empty()) {  // a duplicate added behind the store's back
      auto added = std::make_unique<CKdIni::CIniKey>();
      added->strName = key;
      added->strValue = "direct" + std::to_string(step);
      ini.vecSections[random() % ini.vecSections.size()]->vecKeys.push_back(added.release());
    }
    ASSERT_EQ(ini.GetValue(section.c_str(), key.c_str(), "-"), ScanValue(ini, section, key))
        << "step " << step;
  }
}


#ifdef _WIN32
const std::string kNewLineEnd = "\r\n";
#else
const std::string kNewLineEnd = "\n";
#endif

std::string Golden(const std::string& name) {
  return ReadBytes(SourceFile("tests/ini/golden/" + name));
}


// What each kind of line reads as; the bytes written back are checked by the
// golden files.
TEST_F(IniFile, ReadsEveryKindOfLine) {
  WriteBytes(path, Golden("kinds.ini"));
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_EQ(ini.GetValue("System", "Name"), "padded value");
  EXPECT_EQ(ini.GetValue("System", "Path"), "//share/dir");
  EXPECT_EQ(ini.GetValue("System", "Note"), "a");
  EXPECT_EQ(ini.GetValue("System", "Semi"), "x;y # not a comment");
  EXPECT_EQ(ini.GetValue("System", ""), "no equals sign here");
  EXPECT_EQ(ini.vecSections[0]->vecKeys[0]->strComment, " listen port");
  EXPECT_EQ(ini.vecSections[0]->vecComments.size(), 7u);  // preamble, trimmed
  EXPECT_EQ(ini.vecSections[0]->vecComments[0], "preamble text");
  EXPECT_EQ(ini.vecSections[1]->strName, "");  // "[Empty" has no "]"
  EXPECT_EQ(ini.vecTailLines, (std::vector<std::string>{"", "; tail comment", "   "}));

  EXPECT_TRUE(ini.SetValue("system", "PORT", "9090"));
  EXPECT_TRUE(ini.WriteFile());
  EXPECT_FALSE(ini.WriteFile());  // nothing changed since
  EXPECT_EQ(ini.vecSections[0]->vecKeys[0]->strLine, "Port=9090 // listen port");
}

TEST_F(IniFile, WritesOnlyWhenModifiedAndSavesNewAndEmptyFilesWhole) {
  const std::string other = dir.File("other.ini");
  WriteBytes(path, "[A]\nx=1\ny=2\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    WriteBytes(path, "[A]\nx=1\n");  // changed behind the store
    ini.ResetContent();               // not modified: nothing is written
  }
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.RemoveKey("A", "x"));  // a removal alone is saved
  }
  EXPECT_EQ(ReadBytes(path), "");  // the emptied section went with its last key
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "y", "3"));
    ASSERT_TRUE(ini.Open(other.c_str()));  // saves the first file first
    EXPECT_EQ(ReadBytes(path), "[A]" + kNewLineEnd + "y=3" + kNewLineEnd);
    EXPECT_FALSE(ini.bModified);
  }
  const std::string created = dir.File("new.ini");
  const std::string value(50000, 'v');  // far beyond any formatting bound
  WriteBytes(path, "");
  {
    CKdIni first;
    CKdIni second;
    ASSERT_TRUE(first.Open(created.c_str()) && second.Open(path.c_str()));
    EXPECT_TRUE(first.SetValue("S", "k", value.c_str()) && second.SetValue("S", "k", "w"));
  }
  EXPECT_EQ(ReadBytes(created), "[S]" + kNewLineEnd + "k=" + value + kNewLineEnd);
  EXPECT_EQ(ReadBytes(path), "[S]" + kNewLineEnd + "k=w" + kNewLineEnd);
}

// Fails every read after the first piece of a file.
class FailingSecondRead : public dezov::platform::FileSystemWrapper {
 public:
  FailingSecondRead() : FileSystemWrapper(dezov::platform::FileSystem::Current()) {}
  int Read(dezov::platform::NativeFile file, char* buffer, std::size_t size,
           std::size_t& got) override {
    return reads_++ == 0 ? target().Read(file, buffer, size, got) : 5;  // EIO; access denied
  }

 private:
  int reads_ = 0;
};

TEST_F(IniFile, FailedOpenForgetsTheEarlierFile) {
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_FALSE(ini.Open(dir.path().c_str()));  // a directory: the read fails
  EXPECT_FALSE(ini.Open(nullptr));
  EXPECT_FALSE(ini.Open(dir.File("no/such/dir.ini").c_str()));
  EXPECT_TRUE(ini.strFileName.empty() && ini.vecSections.empty());
  // Files are parsed as they are read: what came before a failed read goes.
  const std::string large = dir.File("large.ini");
  std::string text;
  for (int s = 0; text.size() < 200000; ++s) text += "[S" + std::to_string(s) + "]\nk=v\n";
  WriteBytes(large, text);
  {
    FailingSecondRead failing;
    dezov::platform::ScopedFileSystem installed(failing);
    EXPECT_FALSE(ini.Open(large.c_str()));
  }
  EXPECT_TRUE(ini.strFileName.empty() && ini.vecSections.empty());
  EXPECT_TRUE(ini.SetValue("B", "y", "2"));
  EXPECT_FALSE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

// A buffer reads as the same text in a file does; the store then has no file
// and writes none, and a modified store was saved to its own file first.
TEST_F(IniFile, OpenBufferReadsLikeOpenAndLeavesNoFileToWrite) {
  const std::string text = Golden("kinds.ini");
  WriteBytes(path, text);
  CKdIni fromFile;
  ASSERT_TRUE(fromFile.Open(path.c_str()) && fromFile.SetValue("System", "Port", "1"));
  ASSERT_TRUE(fromFile.OpenBuffer(text.data(), text.size()));
  EXPECT_NE(ReadBytes(path), text);  // the pending change went to the file first
  EXPECT_TRUE(fromFile.strFileName.empty() && !fromFile.bModified);
  EXPECT_EQ(fromFile.GetValue("System", "Note"), "a");
  EXPECT_TRUE(fromFile.HaveKey("SYSTEM", "") && fromFile.HaveKey("System", "Port"));
  EXPECT_FALSE(fromFile.HaveKey("System", "Missing") || fromFile.HaveKey("Missing", "Port"));
  EXPECT_FALSE(fromFile.HaveKey(nullptr, nullptr));
  EXPECT_TRUE(fromFile.vecSections.size() == 4 && fromFile.vecTailLines.size() == 3);

  const std::string before = ReadBytes(path);
  EXPECT_FALSE(fromFile.WriteFile());
  EXPECT_NE(fromFile.GetLastErrMsg().find("no file"), std::string::npos);
  ASSERT_TRUE(fromFile.SetValue("System", "Port", "2"));
  EXPECT_FALSE(fromFile.WriteFile());
  EXPECT_NE(fromFile.GetLastErrMsg().find("no file"), std::string::npos) << fromFile.GetLastErrMsg();
  EXPECT_TRUE(fromFile.bModified);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(dir.EntryCount(), 1);

  // Bytes a C string could not carry; no bytes at all.
  const std::string withNul("[S]\nk=a\0b\n", 11);
  ASSERT_TRUE(fromFile.OpenBuffer(withNul.data(), withNul.size()));
  EXPECT_EQ(fromFile.GetValue("S", "k"), std::string("a\0b", 3));
  EXPECT_TRUE(fromFile.OpenBuffer(nullptr, 0) && fromFile.vecSections.empty());
  EXPECT_FALSE(fromFile.OpenBuffer(nullptr, 5));
  EXPECT_EQ(fromFile.GetLastErrMsg(), "no text: a null buffer of 5 bytes");
}

#ifdef _WIN32
const std::string kMissing;  // the system's wording differs
#else
const std::string kMissing = std::strerror(ENOENT);
#endif

// Runs body with the current directory at directory, and restores it.
template <class Body>
auto InDirectory(const std::string& directory, Body body) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(directory);
  const auto result = body();
  std::filesystem::current_path(before);
  return result;
}

// A store opened on gone/a.ini, changed, and its folder then removed.
void ChangeThenLoseTheFolder(CKdIni& ini, const TempDir& dir) {
  std::filesystem::create_directory(dir.File("gone"));
  WriteBytes(dir.File("gone/a.ini"), "[A]\nx=1\n");
  ASSERT_TRUE(ini.Open(dir.File("gone/a.ini").c_str()) && ini.SetValue("A", "x", "2"));
  std::filesystem::remove_all(dir.File("gone"));
}

// Every refusal of the store and what its reason must hold: the file (or
// section and key) and the cause. Each starts from a store opened on test.ini;
// afterwards that file is as it was and the folder holds nothing else.
TEST_F(IniFile, EveryRefusalGivesItsReason) {
  using Act = std::function<bool(CKdIni&)>;
  const std::string gone = dir.File("gone/a.ini");
  const std::string unsaved = "(the store keeps them)";
  const struct {
    const char* what;
    Act act;
    std::vector<std::string> reason;
  } refusals[] = {
      {"Open without a name", [](CKdIni& ini) { return ini.Open(nullptr); }, {"no file name"}},
      {"Open of a folder", [&](CKdIni& ini) { return ini.Open(dir.path().c_str()); },
       {"'" + dir.path() + "'", "it is a directory"}},
      {"Open in a missing folder", [&](CKdIni& ini) { return ini.Open(dir.File("no/a.ini").c_str()); },
       {"'" + dir.File("no/a.ini") + "'", kMissing}},
      {"Open that cannot save first",
       [&](CKdIni& ini) { ChangeThenLoseTheFolder(ini, dir); return ini.Open(path.c_str()); },
       {unsaved, gone, kMissing}},
      {"OpenBuffer that cannot save first",
       [&](CKdIni& ini) { ChangeThenLoseTheFolder(ini, dir); return ini.OpenBuffer("[B]\n", 4); },
       {unsaved, gone, kMissing}},
      {"OpenAtExeDirectory that cannot save first",
       [&](CKdIni& ini) {
         ChangeThenLoseTheFolder(ini, dir);
         return InDirectory(dir.path(), [&] { return ini.OpenAtExeDirectory("test.ini"); });
       },
       {unsaved, gone, kMissing}},
      {"OpenBuffer of no bytes", [](CKdIni& ini) { return ini.OpenBuffer(nullptr, 3); },
       {"null buffer of 3 bytes"}},
#ifndef _WIN32  // a folder in use cannot be removed there
      {"OpenAtExeDirectory in a removed current directory",
       [&](CKdIni& ini) {
         std::filesystem::create_directory(dir.File("cwd"));
         return InDirectory(dir.File("cwd"), [&] {
           std::filesystem::remove(dir.File("cwd"));
           return ini.OpenAtExeDirectory("test.ini") || ini.strFileName != path;
         });
       },
       {"cannot read the current directory", kMissing}},
#endif
      {"WriteFile without a file name",
       [](CKdIni& ini) { return !ini.OpenBuffer("", 0) || !ini.SetValue("A", "x", "2") || ini.WriteFile(); },
       {"no file name"}},
      {"WriteFile while the save lock stays taken",
       [&](CKdIni& ini) {
         FaultyFileSystem held;
         held.lockHeld = held.noWaits = true;
         const bool saved = [&] {
           dezov::platform::ScopedFileSystem installed(held);
           return !ini.SetValue("A", "x", "2") || ini.WriteFile();
         }();
         RemoveLockFilesOfTheHolder(dir);
         return saved;
       },
       {"'" + path + "'", "locked"}},
      {"WriteFile into a removed folder",
       [&](CKdIni& ini) { ChangeThenLoseTheFolder(ini, dir); return ini.WriteFile(); },
       {gone, kMissing}},
      {"SetValue of a URL", [](CKdIni& ini) { return ini.SetValue("S", "url", "http://example.com/y"); },
       {"key 'url' in section 'S'", "\"//\"", "start of a comment"}},
      {"SetValue, line break in a section name", [](CKdIni& ini) { return ini.SetValue("S\n", "k", "v"); },
       {"section name holds a line break"}},
      {"SetValue, blank before a section name", [](CKdIni& ini) { return ini.SetValue(" S", "k", "v"); },
       {"' S'", "white space"}},
      {"SetValue, ']' in a section name", [](CKdIni& ini) { return ini.SetValue("S]", "k", "v"); },
       {"'S]'", "\"]\""}},
      {"SetValue, '=' in a key name", [](CKdIni& ini) { return ini.SetValue("A", "a=b", "v"); },
       {"'a=b'", "\"=\""}},
      {"SetValue, key name like a comment", [](CKdIni& ini) { return ini.SetValue("A", "/*k", "v"); },
       {"'/*k'", "comment line"}},
      {"SetValue, key name like a header", [](CKdIni& ini) { return ini.SetValue("A", "[k", "v"); },
       {"'[k'", "section header"}},
      {"SetValue, carriage return after a key name", [](CKdIni& ini) { return ini.SetValue("A", "k\r", "v"); },
       {"white space"}},
      {"SetValue, line break in a value", [](CKdIni& ini) { return ini.SetValue("A", "x", "v\nx=1"); },
       {"key 'x' in section 'A'", "value holds a line break"}},
      {"RemoveKey of a missing key", [](CKdIni& ini) { return ini.RemoveKey("a", "y"); },
       {"key 'y' in section 'a'", "no such key"}},
      {"RemoveKey in a missing section", [](CKdIni& ini) { return ini.RemoveKey("B", "x"); },
       {"'B'", "no such section"}},
      {"RemoveSection of a missing section", [](CKdIni& ini) { return ini.RemoveSection("B"); },
       {"section 'B'", "no such section"}},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    WriteBytes(path, "[A]\nx=1\n");
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_FALSE(refusal.act(ini));
    for (const std::string& part : refusal.reason)
      EXPECT_NE(ini.GetLastErrMsg().find(part), std::string::npos) << ini.GetLastErrMsg() << " | " << part;
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
    EXPECT_EQ(dir.EntryCount(), 1);
    ini.bModified = false;  // nothing more is written at its end
  }
}

// An Open that cannot first save the store's changes refuses, and the store
// keeps its file name, content and changes, to be saved once that works.
TEST_F(IniFile, OpensThatCannotSaveFirstKeepTheStore) {
  CKdIni ini;
  ChangeThenLoseTheFolder(ini, dir);
  ASSERT_TRUE(ini.RemoveKey("A", "x") && ini.SetValue("B", "y", "3"));
  const std::string gone = dir.File("gone/a.ini");
  const bool opened[] = {
      ini.Open(path.c_str()), ini.OpenBuffer("[C]\nz=1\n", 8),
      InDirectory(dir.path(), [&] { return ini.OpenAtExeDirectory("test.ini"); })};
  for (bool result : opened) EXPECT_FALSE(result);
  EXPECT_EQ(ini.strFileName, gone);
  EXPECT_TRUE(ini.bModified && !ini.HaveKey("A", "x") && !ini.HaveKey("C", "z"));
  EXPECT_EQ(ini.GetValue("B", "y"), "3");
  EXPECT_FALSE(Exists(path));  // nothing was read, so nothing was created
  std::filesystem::create_directory(dir.File("gone"));
  ASSERT_TRUE(ini.WriteFile()) << ini.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(gone), "[B]\ny=3\n");  // the line ends of the file it read
  EXPECT_TRUE(ini.Open(path.c_str()) && Exists(path) && ini.GetLastErrMsg().empty());
}

TEST_F(IniFile, OpenAtExeDirectoryUsesTheCurrentDirectory) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  CKdIni ini;
  const bool opened = ini.OpenAtExeDirectory("here.ini") && !ini.OpenAtExeDirectory(nullptr);
  std::filesystem::current_path(before);
  EXPECT_TRUE(opened && Exists(dir.File("here.ini")));
}

TEST_F(IniFile, ChangesMadeByOthersSinceOpenSurvive) {
  const std::string original = "; app\n[Server]\nHost = a  // main\nPort=1\n\n; end\n";
  WriteBytes(path, original);
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("server", "PORT", "2"));
    AppendBytes(path, "[Added]\n; by hand\nk=v\n");  // >> while the store is open
    ASSERT_TRUE(ini.WriteFile());
    EXPECT_EQ(ReadBytes(path), "; app\n[Server]\nHost = a  // main\nPort=2\n\n; end\n"
                               "[Added]\n; by hand\nk=v\n");
    EXPECT_EQ(ini.GetValue("Added", "k"), "v");  // the store holds what it wrote
    EXPECT_FALSE(ini.WriteFile());

    // sed changes Host; the store changes another key: its save keeps sed's Host.
    ReplaceByRename(path, "; app\n[Server]\nHost = b  // main\nPort=2\n\n; end\n[Added]\nk=v\n");
    ASSERT_TRUE(ini.SetValue("Added", "k2", "w"));
  }  // the destructor saves
  EXPECT_EQ(ReadBytes(path), "; app\n[Server]\nHost = b  // main\nPort=2\n\n; end\n"
                             "[Added]\nk=v\nk2=w\n");
  {
    // Both changed Port: the store's value wins, with the comment on disk.
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("Server", "Port", "3"));
    ReplaceByRename(path, "[Server]\nPort=9 // edited\nHost=c\n");
  }
  EXPECT_EQ(ReadBytes(path), "[Server]\nPort=3 // edited\nHost=c\n");
}

TEST_F(IniFile, RemovalsReplayOnTheChangedFileAndARemovedFileIsWrittenAnew) {
  WriteBytes(path, "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  ASSERT_TRUE(ini.RemoveKey("a", "X") && ini.RemoveSection("B") && ini.SetValue("C", "w", "5"));
  ReplaceByRename(path, "; kept\n[A]\nx=1\ny=2\nnew=1\n[B]\nz=3\nz2=3\n[C]\nw=4\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "; kept\n[A]\ny=2\nnew=1\n[C]\nw=5\n");

  // Emptied by ResetContent: other programs' additions go too.
  ini.ResetContent();
  ini.bModified = true;
  AppendBytes(path, "[D]\nv=1\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "");

  ASSERT_TRUE(ini.SetValue("E", "k", "1"));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[E]\nk=1\n");
}

// Members edited directly: a key marked modified merges like a SetValue;
// other direct edits are written only over an unchanged file.
TEST_F(IniFile, DirectEditsMergeOnlyThroughTheModifiedFlags) {
  WriteBytes(path, "[A]\nx=1\ny=2\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  ini.vecSections[0]->vecKeys[0]->strValue = "flagged";
  ini.vecSections[0]->vecKeys[0]->bModified = true;
  ini.vecSections[0]->vecKeys[1]->strLine = "y=unflagged";
  ini.bModified = true;
  AppendBytes(path, "z=3\n");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=flagged\ny=2\nz=3\n");

  ini.vecSections[0]->vecKeys[1]->strLine = "y=unflagged";
  ini.bModified = true;  // the file is unchanged: the store is written whole
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=flagged\ny=unflagged\nz=3\n");

  // A copy made before a save merges its own changes too.
  CKdIni copy(ini);
  ASSERT_TRUE(ini.SetValue("A", "x", "from-original") && ini.WriteFile());
  ASSERT_TRUE(copy.SetValue("A", "z", "from-copy") && copy.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=from-original\ny=unflagged\nz=from-copy\n");
}

#ifndef _WIN32
TEST_F(IniFile, FourProcessesSavingOneFileLoseNoKey) {
  constexpr int kProcesses = 4;
  constexpr int kCycles = 200;
  WriteBytes(path, "; shared\n[S]\n");
  const int succeeded = RunInChildren(
      kProcesses,
      [&](int p) {
        for (int c = 0; c < kCycles; ++c) {
          CKdIni ini;
          const std::string key = "p" + std::to_string(p) + "_" + std::to_string(c);
          if (!ini.Open(path.c_str()) || !ini.SetValue("S", key.c_str(), "v") || !ini.WriteFile())
            return 1;
        }
        return 0;
      },
      std::chrono::seconds(120));
  EXPECT_EQ(succeeded, kProcesses);
  CKdIni ini;
  std::vector<std::string> keys;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.GetKeysInSection("S", keys));
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(kProcesses * kCycles));
  EXPECT_EQ(ini.vecSections[0]->vecComments, std::vector<std::string>{"; shared"});
}

// The store's side of a held lock (real holders in other processes are the
// save protocol's tests): false with the reason, nothing written, the change
// kept for the next save.
TEST_F(IniFile, ALockHeldLongerThanTheWaitFailsTheSaveAndWritesNothing) {
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "x", "2"));
  {
    FaultyFileSystem held;  // the lock always taken, no time waited: the save gives up at once
    held.lockHeld = held.noWaits = true;
    dezov::platform::ScopedFileSystem installed(held);
    EXPECT_FALSE(ini.WriteFile());
  }
  EXPECT_NE(ini.GetLastErrMsg().find("locked"), std::string::npos) << ini.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  EXPECT_TRUE(ini.bModified);
  CKdIni unmodified(ini);  // carries the reason along
  unmodified.bModified = false;
  EXPECT_FALSE(unmodified.WriteFile());
  EXPECT_EQ(unmodified.GetLastErrMsg(), "");  // nothing needed writing: no failure
  EXPECT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=2\n");
}
#endif

// Applies the edits; false (with a message) for an edit that did not apply.
::testing::AssertionResult ApplyEdits(CKdIni& ini, const std::string& edits) {
  std::istringstream lines(edits);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> f = TabFields(line);
    bool applied = false;
    if (f[0] == "set" && f.size() == 4)
      applied = ini.SetValue(f[1].c_str(), f[2].c_str(), f[3].c_str());
    else if (f[0] == "remove-key" && f.size() == 3)
      applied = ini.RemoveKey(f[1].c_str(), f[2].c_str());
    else if (f[0] == "remove-section" && f.size() == 2)
      applied = ini.RemoveSection(f[1].c_str());
    if (!applied) return ::testing::AssertionFailure() << "edit not applied: " << line;
  }
  return ::testing::AssertionSuccess();
}

// Opens path, applies edits, forces a rewrite, and returns the file's bytes.
std::string Rewrite(const std::string& path, const std::string& edits) {
  CKdIni ini;
  EXPECT_TRUE(ini.Open(path.c_str()));
  EXPECT_TRUE(ApplyEdits(ini, edits));
  ini.bModified = true;
  EXPECT_TRUE(ini.WriteFile());
  return ReadBytes(path);
}

// Every line of the model, in order, with how the lines are written.
std::string Flattened(const std::string& text, std::size_t pieceSize) {
  CKdIni ini;
  dezov::IniTextParser parser(ini.vecSections, ini.vecTailLines);
  for (std::size_t at = 0; at < text.size(); at += pieceSize)
    parser.Feed(std::string_view(text).substr(at, pieceSize));
  const dezov::IniLayout layout = parser.Finish();
  std::string lines = std::to_string(layout.byteOrderMark) + std::to_string(layout.sawLineEnd) +
                      std::to_string(layout.crLfLines) + "\n";
  auto add = [&lines](const std::vector<std::string>& texts) {
    for (const std::string& text : texts) lines += text + "\n";
  };
  for (const CKdIni::CIniSection* section : ini.vecSections) {
    add(section->vecComments);
    lines += "[" + section->strName + "] " + section->strLine + "\n";
    for (const CKdIni::CIniKey* key : section->vecKeys) {
      add(key->vecComments);
      lines += key->strName + "=" + key->strValue + ";" + key->strComment + " " + key->strLine + "\n";
    }
  }
  add(ini.vecTailLines);
  return lines;
}

TEST_F(IniFile, EveryGoldenCaseRewritesToItsExpectedBytes) {
  namespace fs = std::filesystem;
  const fs::path folder = SourceFile("tests/ini/golden");
  const bool writeExpected = std::getenv("DEZOV20_WRITE_GOLDEN") != nullptr;
  int cases = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".ini" || file.find(".expected.") != std::string::npos) continue;
    const std::string name = file.substr(0, file.size() - 4);
    SCOPED_TRACE(name);
    ++cases;
    const fs::path editsFile = folder / (name + ".edits");
    const std::string edits = fs::exists(editsFile) ? ReadBytes(editsFile.string()) : "";
    const std::string expectedFile = (folder / (name + ".expected.ini")).string();
    const std::string path = dir.File(file);
    WriteBytes(path, ReadBytes(entry.path().string()));
    const std::string written = Rewrite(path, edits);
    if (writeExpected) WriteBytes(expectedFile, written);
    EXPECT_EQ(written, ReadBytes(expectedFile));
    EXPECT_EQ(Rewrite(path, ""), written);  // the writer's output is its own fixed point
    // Files are read in pieces: a piece may end anywhere, even inside a line
    // end or a byte-order mark.
    const std::string input = ReadBytes(entry.path().string());
    const std::string whole = Flattened(input, input.size() + 1);
    for (std::size_t piece : {1, 2, 3, 7}) EXPECT_EQ(Flattened(input, piece), whole) << piece;
  }
  EXPECT_GE(cases, 10);
}

TEST_F(IniFile, SixteenMegabyteLineIsReadAndWrittenWhole) {
  const std::string value(16u << 20, 'x');
  WriteBytes(path, "[S]\nlong=" + value + "\nshort=1\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_EQ(ini.GetValue("S", "long").size(), value.size());
    ASSERT_TRUE(ini.SetValue("S", "short", "2"));
  }
  EXPECT_EQ(ReadBytes(path), "[S]\nlong=" + value + "\nshort=2\n");
}

}  // namespace
