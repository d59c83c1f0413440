// Value operations of the INI store: lookups, case, duplicates, fields,
// SetValue's refusals, removal, name lists, copies and the name index.
#include <gtest/gtest.h>

#include <random>

#include "include/KdIni.h"
#include "support/TestFiles.h"
#include "text/TextUtil.h"

using namespace testing_support;

namespace {

// A store read from text (through a file, as callers get one).
class IniValues : public ::testing::Test {
 protected:
  void Load(const std::string& text) {
    WriteBytes(dir_.File("v.ini"), text);
    ASSERT_TRUE(ini_.Open(dir_.File("v.ini").c_str()));
  }
  TempDir dir_;
  CKdIni ini_;
};

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

TEST_F(IniValues, SetValueRefusesWhatWouldNotReadBack) {
  const char* refused[][3] = {
      {"S\n", "k", "v"}, {"S", "k\r", "v"}, {"S", "k", "v\nx=1"}, {"S]", "k", "v"},
      {" S", "k", "v"},  {"S", "a=b", "v"}, {"S", ";k", "v"},     {"S", "//k", "v"},
      {"S", "/*k", "v"}, {"S", "[k", "v"},  {"S", " k", "v"},     {"S", "k\t", "v"}};
  for (const auto& texts : refused)
    EXPECT_FALSE(ini_.SetValue(texts[0], texts[1], texts[2])) << texts[0] << "|" << texts[1];
  EXPECT_TRUE(!ini_.bModified && ini_.vecSections.empty());

  const std::string path = dir_.File("back.ini");
  ASSERT_TRUE(ini_.Open(path.c_str()));
  EXPECT_TRUE(ini_.SetValue("", "", "empty names"));
  EXPECT_TRUE(ini_.SetValue("a[b", "k;x/y", "//share"));
  EXPECT_TRUE(ini_.SetValue("S", "url", "http://host"));
  EXPECT_TRUE(ini_.WriteFile());
  CKdIni back;
  ASSERT_TRUE(back.Open(path.c_str()));  // the odd but allowed names read back
  EXPECT_EQ(back.GetValue("", ""), "empty names");
  EXPECT_EQ(back.GetValue("a[b", "k;x/y"), "//share");
  EXPECT_EQ(back.GetValue("S", "url"), "http:");  // the format cuts at "//"
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

}  // namespace
