// SPDX-License-Identifier: MIT
// Stores used on many threads at once, and a host that starts and stops the
// XML library itself around our stores. Each stress test is bounded in rounds
// and in time.
#include <gtest/gtest.h>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <locale.h>
#endif

#include "KdDeploy.h"
#include "KdIni.h"
#include "XmlIni.h"
#include "support/TestFiles.h"

using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 300;
constexpr auto kTimeLimit = std::chrono::seconds(30);  // bounds the sanitizer runs

// Runs round(thread, n) for n = 0..kRounds-1 on each of kThreads threads
// (stopping early at kTimeLimit); returns the rounds that returned false.
template <typename Round>
int FailedRounds(Round round) {
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < kRounds && std::chrono::steady_clock::now() < deadline; ++n)
        if (!round(t, n)) ++failed;
    });
  for (std::thread& thread : threads) thread.join();
  return failed;
}

// Sections S0..S7 of 60 keys each (enough to be indexed), and a list of records.
std::string Configuration() {
  std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini>";
  for (int s = 0; s < kThreads; ++s) {
    text += "<S" + std::to_string(s) + ">";
    for (int k = 0; k < 60; ++k)
      text += "<K" + std::to_string(k) + " Value=\"" + std::to_string(s * 100 + k) + "\"/>";
    text += "</S" + std::to_string(s) + ">";
  }
  text += "<list>";
  for (int r = 0; r < 60; ++r) text += "<rec id=\"" + std::to_string(r) + "\"><sub k=\"x\"/></rec>";
  return text + "</list></vornini>";
}

}  // namespace

// First in this program, so that the host's first pair comes before any store.
TEST(HostXmlLibrary, HostStartsAndStopsBeforeAroundAndAfterOurStores) {
  using xercesc::XMLPlatformUtils;
  TempDir dir;
  const std::string path = dir.File("cfg.xml");
  WriteBytes(path, Configuration());
  XMLPlatformUtils::Initialize();
  XMLPlatformUtils::Terminate();
  XMLPlatformUtils::Initialize();
  {
    CXmlIni store;
    ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
    EXPECT_EQ(store.GetValue("S1", "K2"), "102");
  }
  XMLPlatformUtils::Terminate();

  CXmlIni held;
  ASSERT_TRUE(held.Open(path.c_str())) << held.GetLastErrMsg();
  XMLPlatformUtils::Initialize();
  {
    xercesc::XercesDOMParser parser;  // the host's own use of the library
    static const char kText[] = "<host/>";
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(kText), sizeof kText - 1,
                                      u"host");
    parser.parse(source);
    EXPECT_EQ(parser.getErrorCount(), 0u);
  }
  XMLPlatformUtils::Terminate();
  EXPECT_EQ(held.GetValue("S3", "K4"), "304");
  EXPECT_TRUE(held.SetValue("New", "K", "v") && held.WriteFile()) << held.GetLastErrMsg();
  CXmlIni after;
  ASSERT_TRUE(after.Open(path.c_str())) << after.GetLastErrMsg();
  EXPECT_EQ(after.GetValue("New", "K"), "v");
}

#ifndef _WIN32
// A GBK locale the host can switch to; empty when none is installed.
std::string GbkLocale() {
  for (const char* name : {"zh_CN.GBK", "zh_CN.gbk", "zh_CN.GB18030", "zh_CN.gb18030"}) {
    if (const locale_t found = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr))) {
      ::freelocale(found);
      return name;
    }
  }
  return std::string();
}

// Puts the process locale back to "C" however the test ends.
struct CLocaleAfterwards {
  ~CLocaleAfterwards() { std::setlocale(LC_ALL, "C"); }
};

// What the stores make of GBK text in the process locale of the moment:
// values read, values written and read again, and the bytes written.
std::string GbkRoundTrip(const TempDir& dir, const std::string& tag) {
  const std::string gbk = "\xC4\xE3\xBA\xC3 \x81\x40\x80 \xA1\xA1";
  const std::string xml = dir.File(tag + ".xml");
  const std::string ini = dir.File(tag + ".ini");
  WriteBytes(xml, "<?xml version=\"1.0\" encoding=\"gb2312\"?><vornini><S K=\"" + gbk +
                      "\"><K Value=\"" + gbk + "\"/></S></vornini>");
  WriteBytes(ini, "[S]\nK=" + gbk + "\n");
  std::string seen;
  {
    CXmlIni store;
    if (!store.Open(xml.c_str())) return "cannot open: " + store.GetLastErrMsg();
    seen += store.GetValue("S", "K") + "|" + store.GetAttribute("S", "K") + "|";
    store.SetValue("S", "New", (gbk + "\xB0\xA1").c_str());
    store.Append("S\\Rec");
    store.Set("x", 1.5);
    if (!store.WriteFile()) return "cannot write: " + store.GetLastErrMsg();
    CXmlIni again;
    again.Open(xml.c_str());
    seen += again.GetValue("S", "New") + "|" + testing_support::ReadBytes(xml) + "|";
  }
  CKdIni settings;
  settings.Open(ini.c_str());
  seen += settings.GetValue("S", "K");
  return seen;
}

// A host may run in a GBK locale, or in "C": the stores neither set the
// process locale nor give other strings in one than in the other. CI runs
// with DEZOV20_REQUIRE_GBK_LOCALE=1, where a missing GBK locale fails
// (scripts/setup.sh generates zh_CN.GBK); elsewhere the test is skipped then.
TEST(HostXmlLibrary, StoresLeaveTheProcessLocaleAloneAndDoNotDependOnIt) {
  const std::string gbk = GbkLocale();
  if (gbk.empty()) {
    if (std::getenv("DEZOV20_REQUIRE_GBK_LOCALE") != nullptr)
      FAIL() << "no GBK locale (zh_CN.GBK) is installed: bash scripts/setup.sh generates it";
    GTEST_SKIP() << "no GBK locale (zh_CN.GBK) is installed; bash scripts/setup.sh generates it";
  }
  const CLocaleAfterwards restore;
  TempDir dir;
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  { CXmlIni store; }
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C") << "a store changed the process locale";
  const std::string inC = GbkRoundTrip(dir, "c");
  ASSERT_NE(std::setlocale(LC_ALL, gbk.c_str()), nullptr);
  { CXmlIni store; }
  EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), gbk) << "a store changed the process locale";
  const std::string inGbk = GbkRoundTrip(dir, "gbk");
  EXPECT_EQ(inGbk, inC);
}
#endif

TEST(Threads, XmlAndIniStoresMadeOpenedReadAndDestroyedOnManyThreads) {
  TempDir dir;
  const std::string xml = dir.File("cfg.xml");
  const std::string ini = dir.File("cfg.ini");
  WriteBytes(xml, Configuration());
  WriteBytes(ini, "; shared\n[S]\nK=ini value\n");
  const int failed = FailedRounds([&](int t, int n) {
    CXmlIni store;
    if (!store.Open(xml.c_str())) return false;
    const std::string section = "S" + std::to_string(t);
    const std::string key = "K" + std::to_string(n % 60);
    if (store.GetValue(section.c_str(), key.c_str()) != std::to_string(t * 100 + n % 60))
      return false;
    if (!store.Locate("list", "rec") || store.GetCount() != 60) return false;
    if (store.GetAttribute(store.GetChildNode(store.GetNodeByIndex(n % 60), "sub"), "k") != "x")
      return false;
    // A document changed in memory must never reach the next store, which
    // reads this key first.
    const std::string next = "K" + std::to_string((n + 1) % 60);
    if (n % 2 == 0) store.SetValue(section.c_str(), next.c_str(), "unsaved");
    CKdIni settings;
    settings.Open(ini.c_str());
    return settings.GetValue("S", "K") == "ini value";
  });
  EXPECT_EQ(failed, 0);
}

TEST(Threads, DeploymentsLoadedFromSeparateStoresOnManyThreads) {
  const std::string path = testing_support::SourceFile("examples/deploy.xml");
  const int failed = FailedRounds([&](int, int) {
    CXmlIni store;
    if (!store.Open(path.c_str())) return false;
    CKdDeploy deploy;
    deploy.InitDeloy(&store);
    return deploy.GetScheme() == 3 && deploy.GetDomain("JYS", "2", "") == "SZ";
  });
  EXPECT_EQ(failed, 0);
}

// Copies share one document; reading it through them on several threads at
// once builds lookup indexes and hands out node handles concurrently.
TEST(Threads, CopiesSharingADocumentAreReadOnManyThreads) {
  TempDir dir;
  const std::string path = dir.File("cfg.xml");
  WriteBytes(path, Configuration());
  CXmlIni source;
  ASSERT_TRUE(source.Open(path.c_str()));
  ASSERT_TRUE(source.Locate("list", "rec"));
  std::vector<CXmlIni> copies(kThreads, source);
  const int failed = FailedRounds([&](int t, int n) {
    CXmlIni& copy = copies[static_cast<std::size_t>(t)];
    const int s = (t + n) % kThreads;
    const std::string section = "S" + std::to_string(s);
    const std::string key = "k" + std::to_string(59 - n % 60);
    if (copy.GetValue(section.c_str(), key.c_str()) != std::to_string(s * 100 + 59 - n % 60))
      return false;
    const long record = copy.GetNodeByIndex(n % 60);
    return copy.GetAttribute(record, "id") == std::to_string(n % 60) &&
           copy.GetChildNode(record, "SUB") != 0;
  });
  EXPECT_EQ(failed, 0);
}
