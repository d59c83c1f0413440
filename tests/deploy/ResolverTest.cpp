// SPDX-License-Identifier: MIT
// The resolver's answers: descriptions under tests/deploy/golden with the
// expected answers beside them (NAME.answers holds one question per line,
// "Call(arg, arg, ...) = answer", and is asked of NAME.xml or of the file its
// "description:" line names; \xHH in a line stands for that byte), asked from
// several threads at once; then schemes, copies, and loads that fail part way.
// Then the deployment check: one small description per finding under
// tests/deploy/check with the expected findings beside it (NAME.expected, the
// lines `dezov deploy NAME.xml check` prints before its summary), the shipped
// example checks clean, and a description that checks clean loads exactly
// what it holds. With DEZOV20_WRITE_GOLDEN set, the expected files are
// rewritten from what the check finds (review the difference before keeping it).
// Last the watcher: changes published, bad files kept out, prompt stops,
// readers that never make a file, and one notification instance for hundreds
// of watchers (and a watcher that says it polls when the system refuses one).
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/ChildProcesses.h"
#endif

#include "DeployCheck.h"
#include "DeployFixture.h"
#include "DeployWatch.h"
#include "deploy/DeployWatchFixture.h"

namespace deploy_test {
extern std::atomic<long> allocationsLeft;  // AllocationLimit.cpp
}
using namespace deploy_test;
using namespace deploy_watch_test;
using namespace testing_support;

namespace {

namespace fs = std::filesystem;

struct GoldenFile {
  std::string description;  // path of the XML file
  std::vector<Ask> questions;
};

GoldenFile ReadGolden(const std::filesystem::path& answers) {
  GoldenFile golden{std::filesystem::path(answers).replace_extension(".xml").string(), {}};
  static const std::regex question(R"((\w+)\((.*)\) =(?: (.*))?)");
  std::istringstream in(testing_support::ReadBytes(answers.string()));
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("description: ", 0) == 0) {
      golden.description = testing_support::SourceFile(line.substr(13));
    } else if (std::regex_match(line, match, question)) {
      Ask ask{match[1], {}, Unescape(match[3])};
      const std::string args = match[2];
      for (std::size_t start = 0, comma = 0; !args.empty() && comma != std::string::npos;
           start = comma + 2) {
        comma = args.find(", ", start);
        ask.args.push_back(Unescape(args.substr(start, comma - start)));
      }
      golden.questions.push_back(ask);
    } else if (!line.empty() && line[0] != '#') {
      ADD_FAILURE() << answers << ": cannot read " << line;
    }
  }
  return golden;
}

TEST(GoldenAnswers, EveryDescriptionAnswersAsWritten) {
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(testing_support::SourceFile("tests/deploy/golden"))) {
    const auto& file = entry.path();
    if (file.extension() != ".answers") continue;
    SCOPED_TRACE(file.filename().string());
    ++files;
    const GoldenFile golden = ReadGolden(file);
    CKdDeploy d;
    deploy_test::LoadXml(d, testing_support::ReadBytes(golden.description));
    deploy_test::ExpectAnswers(d, golden.questions);
  }
  EXPECT_GE(files, 3);
}

TEST(GoldenAnswers, ConcurrentLookupsOnOneResolver) {
  const GoldenFile golden =
      ReadGolden(testing_support::SourceFile("tests/deploy/golden/example.answers"));
  CKdDeploy d;
  deploy_test::LoadXml(d, testing_support::ReadBytes(golden.description));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 100; ++round)
        for (const Ask& q : golden.questions) wrong += deploy_test::Answer(d, q) != q.answer;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(DeployEdge, SchemeOutlivesFreeNullStoresAndLoadsWithoutItsNames) {
  CKdDeploy d;
  deploy_test::Load(d, "[DEPLOY]\nDEPLOY1=JYS,0\n[JYS]\nDOMAIN1=SH,1\n");
  EXPECT_EQ(d.GetScheme(), 2);
  deploy_test::ExpectAnswers(d, {{"GetMulTradeDomain", {"0101", "1"}, "SH"}, {"GetMulTradeDomain", {"", "1"}, "SH"}});
  deploy_test::LoadExample(d);
  d.InitDeloy(nullptr);
  deploy_test::ExpectAnswers(d, {{"GetDomainStr", {"JYS", "1", ""}, "SH"}});
  deploy_test::Load(d, "[DEPLOY]\nDEPLOY1=Other,0\n");
  EXPECT_EQ(d.GetScheme(), 3);
  deploy_test::ExpectAnswers(d, {{"GetDomainStr", {"JYS", "1", ""}, ""}});
  deploy_test::LoadExample(d);
  d.Free();
  EXPECT_EQ(d.GetScheme(), 3);
  deploy_test::ExpectAnswers(d, {{"GetDomainStr", {"JYS", "1", ""}, ""}, {"GetMulTradeDomain", {"0101", "1"}, ""}});
}

TEST(DeployEdge, CopiesOwnTheirRecords) {
  CKdDeploy source;
  deploy_test::LoadExample(source);
  CKdDeploy copy(source);
  CKdDeploy assigned;
  assigned = source;
  CKdDeploy& alias = assigned;
  assigned = alias;
  deploy_test::Load(source, "[DEPLOY]\nDEPLOY1=JYS,0\n[JYS]\nDOMAIN1=XX,1\n");
  for (CKdDeploy* d : {&copy, &assigned}) {
    EXPECT_EQ(d->GetScheme(), 3);
    deploy_test::ExpectAnswers(*d, {{"GetDomainStr", {"JYS", "1", ""}, "SH"},
                                    {"GetHistoryDomain", {"0101", "20060315", "20060315", ""}, "HA_2006"}});
  }
  deploy_test::ExpectAnswers(source, {{"GetDomainStr", {"JYS", "1", ""}, "XX"}});
  assigned = CKdDeploy();
  EXPECT_EQ(assigned.GetScheme(), 0);
}

TEST(DeployEdge, ALoadThatFailsPartWayKeepsTheOldTable) {
  testing_support::TempDir dir;
  testing_support::WriteBytes(dir.File("new.xml"),
                              "<vornini><DEPLOY><DEPLOY1 Value=\"JYS,0\"/></DEPLOY>"
                              "<JYS><DOMAIN1 Value=\"XX,1\"/></JYS></vornini>");
  CXmlIni store;
  ASSERT_TRUE(store.Open(dir.File("new.xml").c_str()));
  CKdDeploy d;
  deploy_test::LoadExample(d);
  int failed = 0;
  for (long budget = 0;; ++budget) {
    allocationsLeft = budget;
    bool threw = false;
    try {
      d.InitDeloy(&store);
    } catch (...) {
      threw = true;
    }
    allocationsLeft = -1;
    if (!threw) break;
    ++failed;
    ASSERT_EQ(d.GetDomainStr("JYS", "1", ""), "SH") << "after " << budget << " allocations";
    ASSERT_EQ(d.GetScheme(), 3);
  }
  EXPECT_GT(failed, 0);
  EXPECT_EQ(d.GetDomainStr("JYS", "1", ""), "XX");
  EXPECT_EQ(d.GetDomainStr("RQ", "20060315", "20060315"), "");
}

std::string Findings(const std::string& path, const std::string& shownName) {
  CXmlIni store;
  if (!store.Open(path.c_str())) return "cannot open: " + store.GetLastErrMsg();
  std::string lines;
  for (const dezov::DeployFinding& finding : dezov::CheckDeployment(store))
    lines += dezov::FormatFinding(shownName, finding) + "\n";
  return lines;
}

TEST(DeployCheck, EveryGoldenDescriptionGivesItsExpectedFindings) {
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(testing_support::SourceFile("tests/deploy/check"))) {
    if (entry.path().extension() != ".xml") continue;
    const std::string name = entry.path().filename().string();
    const std::string expected = fs::path(entry.path()).replace_extension(".expected").string();
    if (std::getenv("DEZOV20_WRITE_GOLDEN"))
      testing_support::WriteBytes(expected, Findings(entry.path().string(), name));
    EXPECT_EQ(Findings(entry.path().string(), name), testing_support::ReadBytes(expected)) << name;
    ++checked;
  }
  EXPECT_GE(checked, 15);
  EXPECT_EQ(Findings(testing_support::SourceFile("examples/deploy.xml"), "deploy.xml"), "");
}

// Random descriptions, mostly well formed; every one that checks clean must
// load each deployment and domain it holds, each domain answering its own key.
TEST(DeployCheck, ADescriptionThatChecksCleanLoadsWhatItHolds) {
  std::mt19937 random(20261206);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  testing_support::TempDir dir;
  const std::string file = dir.File("d.xml");
  const CXmlIni keepXmlLibraryStarted;  // between the rounds' stores
  int clean = 0;
  for (int round = 0; round < 200; ++round) {
    std::string deployments = "[DEPLOY]\n", domains;
    std::vector<deploy_test::Ask> questions;  // each domain asked by its own key
    for (int n = 0, count = 1 + pick(3); n < count; ++n) {
      const std::string name(1, static_cast<char>('A' + pick(5)));
      const bool range = pick(2) == 0;
      deployments += "DEPLOY" + std::to_string(n + 1 + (pick(20) == 0)) + "=" + name + (range ? ",1\n" : ",0\n");
      domains += "[" + name + "]\n";
      for (int m = 0, count = 1 + pick(4); m < count; ++m) {
        const int low = pick(90) + 10;
        const std::string domain = (range ? "r" : "t") + std::to_string(m);
        const std::string key = range ? std::to_string(low) : "k" + std::to_string(pick(30));
        const std::string keyEnd = range ? std::to_string(low + pick(12)) : "";
        domains += "DOMAIN" + std::to_string(m + 1) + "=" + domain + "," + key + (range ? ":" + keyEnd : "") + "\n";
        questions.push_back({"GetDomainStr", {name, key, keyEnd}, domain});
      }
    }
    const std::string text = deployments + domains;
    testing_support::WriteBytes(file, deploy_test::XmlOf(text));
    CXmlIni store;
    ASSERT_TRUE(store.Open(file.c_str())) << text;
    if (!dezov::CheckDeployment(store).empty()) continue;
    ++clean;
    CKdDeploy resolver;
    resolver.InitDeloy(&store);
    for (const deploy_test::Ask& q : questions) ASSERT_EQ(deploy_test::Answer(resolver, q), q.answer) << text;
  }
  EXPECT_GE(clean, 20);
}

using Clock = std::chrono::steady_clock;

class DeployWatchTest : public ::testing::Test {
 protected:
  // Waits (at most a second) until the watcher's last error names reason.
  static bool AwaitError(const dezov::DeployWatch& watch, const std::string& reason) {
    const auto giveUp = Clock::now() + std::chrono::seconds(1);
    while (watch.LastError().find(reason) == std::string::npos && Clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return watch.LastError().find(reason) != std::string::npos;
  }
  testing_support::TempDir dir;
  const std::string file = dir.File("deploy.xml");
};

TEST_F(DeployWatchTest, EveryKindOfChangeIsPublishedWithinASecond) {
  WriteBytes(file, Description(1));
  std::mutex mutex;
  std::vector<dezov::DeployWatch::Reload> reloads;
  dezov::DeployWatch watch(file, [&](const dezov::DeployWatch::Reload& reload) {
    std::lock_guard<std::mutex> lock(mutex);
    reloads.push_back(reload);
  });
  EXPECT_EQ(watch.Generation(), 1u);
  EXPECT_EQ(Trade(watch), "TA_1");
  const auto first = watch.Current();

  WriteBytes(file, Description(2));  // rewritten in place, same size
  ASSERT_TRUE(AwaitGeneration(watch, 2, 1000));
  EXPECT_EQ(Trade(watch), "TA_2");
  ReplaceByRename(file, Description(3, "<X/>"));
  ASSERT_TRUE(AwaitGeneration(watch, 3, 1000));
  EXPECT_EQ(Trade(watch), "TA_3");
  std::filesystem::remove(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  WriteBytes(file, Description(4));
  ASSERT_TRUE(AwaitGeneration(watch, 4, 1000));
  EXPECT_EQ(Trade(watch), "TA_4");

  // A snapshot taken earlier stays whole and keeps its answers.
  std::string yyb = "0101", jys = "1";
  EXPECT_EQ(first->GetTradeDomain(yyb, jys), "TA_1");
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_FALSE(reloads.empty());
  EXPECT_EQ(reloads.back().generation, 4u);
  EXPECT_EQ(reloads.back().error, "");
}

TEST_F(DeployWatchTest, BadFilesKeepTheLastGoodSnapshotAndSayWhy) {
  dezov::DeployWatch watch(file);  // nothing there yet: no snapshot, a reason, no file made
  EXPECT_EQ(watch.Current(), nullptr);
  EXPECT_NE(watch.LastError().find("no such file"), std::string::npos) << watch.LastError();
  EXPECT_FALSE(testing_support::Exists(file));
  WriteBytes(file, Description(1));
  ASSERT_TRUE(AwaitGeneration(watch, 1, 1000));
  EXPECT_EQ(watch.LastError(), "");

  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } bad[] = {
      {"cut short", Description(9).substr(0, 120), "cannot load"},
      {"not XML", "DEPLOY1=YYB,0\n", "cannot load"},
      {"another root", "<config><DEPLOY><DEPLOY1 Value=\"YYB,0\"/></DEPLOY></config>", "cannot load"},
      {"no deployment", "<vornini><DEPLOY><DEPLOY1 Value=\"YYB\"/></DEPLOY></vornini>",
       "no deployment"},
  };
  for (const auto& c : bad) {
    ReplaceByRename(file, c.bytes);
    EXPECT_TRUE(AwaitError(watch, c.reason)) << c.what << ": " << watch.LastError();
    EXPECT_EQ(Trade(watch), "TA_1") << c.what;
    EXPECT_EQ(watch.Generation(), 1u) << c.what;
  }
  std::filesystem::remove(file);
  EXPECT_TRUE(AwaitError(watch, "no such file")) << watch.LastError();
  EXPECT_FALSE(testing_support::Exists(file));
  EXPECT_EQ(Trade(watch), "TA_1");

  WriteBytes(file, Description(2));
  ASSERT_TRUE(AwaitGeneration(watch, 2, 1000));
  EXPECT_EQ(Trade(watch), "TA_2");
  EXPECT_EQ(watch.LastError(), "");
}

TEST_F(DeployWatchTest, StopsPromptlyWhileWaitingOrWatchingAMissingFile) {
  WriteBytes(file, Description(1));
  for (const std::string& path : {file, dir.File("missing/deploy.xml")}) {
    auto watch = std::make_unique<dezov::DeployWatch>(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the thread start waiting
    const auto start = Clock::now();
    watch.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100)) << path;
  }
}

#ifndef _WIN32
// A writer removes the file and makes it again with exclusive creation, 2,000
// times, while a watcher and two loading threads read it: had a reader made
// the file while it was gone, the writer's creation would find it there.
TEST_F(DeployWatchTest, ReadersNeverMakeTheFileTheyRead) {
  const std::string bytes = Description(1);
  WriteBytes(file, bytes);
  dezov::DeployWatch watch(file);
  std::atomic<bool> done{false};
  std::atomic<long> loads{0}, refusedAsMissing{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r)
    readers.emplace_back([&] {
      while (!done.load()) {
        CKdDeploy resolver;
        std::string error;
        if (dezov::LoadDeployment(file, resolver, error)) ++loads;
        else if (error.find("no such file") != std::string::npos) ++refusedAsMissing;
      }
    });
  int foundThere = 0;
  for (int cycle = 0; cycle < 2000; ++cycle) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
    fs::remove(file);
    std::this_thread::sleep_for(std::chrono::microseconds(100));
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      foundThere += errno == EEXIST;
      continue;
    }
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    ASSERT_TRUE(written);
  }
  fs::remove(file);
  done.store(true);
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(foundThere, 0);
  EXPECT_GT(loads.load(), 0);
  EXPECT_GT(refusedAsMissing.load(), 0);
  EXPECT_TRUE(AwaitError(watch, "no such file")) << watch.LastError();
  EXPECT_FALSE(Exists(file));
}
#endif

#ifdef __linux__
// The inotify descriptors this process holds.
int InotifyDescriptors() {
  int count = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    count += fs::read_symlink(entry.path(), error).string() == "anon_inode:inotify";
  }
  return count;
}

// 300 watchers, ten to a folder (watches of one folder share the system's
// watch of it): one inotify instance, and each watcher sees its file change,
// also after the other watchers of its folder ended. The last watcher ends
// the instance.
TEST_F(DeployWatchTest, ThreeHundredWatchersShareOneNotificationInstance) {
  constexpr int kWatchers = 300;
  const int before = InotifyDescriptors();
  std::vector<std::string> files;
  std::vector<std::unique_ptr<dezov::DeployWatch>> watches;
  for (int i = 0; i < kWatchers; ++i) {
    const std::string folder = dir.File("f" + std::to_string(i / 10));
    fs::create_directories(folder);
    files.push_back(folder + "/deploy" + std::to_string(i % 10) + ".xml");
    WriteBytes(files.back(), Description(1));
    watches.push_back(std::make_unique<dezov::DeployWatch>(files.back()));
  }
  EXPECT_EQ(InotifyDescriptors(), before + 1);
  // Changes reach every watcher; then the first half of each folder's watchers
  // end, and changes still reach the rest.
  for (int round = 2; round <= 3; ++round) {
    for (int i = 0; i < kWatchers; ++i)
      if (watches[i]) WriteBytes(files[i], Description(round));
    // (A watcher may also have reloaded the same content once, for events
    // of its file's creation read after it started: wait for the answer.)
    const std::string answer = "TA_" + std::to_string(round);
    const auto giveUp = Clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < kWatchers; ++i) {
      if (!watches[i]) continue;
      while (Trade(*watches[i]) != answer && Clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ASSERT_EQ(Trade(*watches[i]), answer) << files[i] << ": " << watches[i]->LastError();
      EXPECT_EQ(watches[i]->PollReason(), "");
    }
    for (int i = 0; i < kWatchers; ++i)
      if (i % 10 < 5) watches[i].reset();
  }
  watches.clear();
  EXPECT_EQ(InotifyDescriptors(), before);
}

// A child made by fork while the parent watches makes an instance of its own
// in place of its copy of the parent's (which it closes), and its watch of the
// same folder, ended there, leaves the parent's working.
TEST_F(DeployWatchTest, AForkedChildWatchesOnItsOwnAndLeavesTheParentsWatch) {
  const std::string other = dir.File("other.xml");
  WriteBytes(file, Description(1));
  WriteBytes(other, Description(1));
  dezov::DeployWatch watch(file);
  const int before = InotifyDescriptors();
  const int succeeded = RunInChildren(
      1,
      [&](int) {
        dezov::DeployWatch inChild(other);
        if (!inChild.PollReason().empty() || InotifyDescriptors() != before) return 1;
        // This thread, the watcher's, and a reader of the child's own instance.
        const auto tasks = std::distance(fs::directory_iterator("/proc/self/task"), {});
        if (tasks != 3) return 2;
        WriteBytes(other, Description(2));
        const auto giveUp = Clock::now() + std::chrono::seconds(5);
        while (Trade(inChild) != "TA_2" && Clock::now() < giveUp)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Trade(inChild) == "TA_2" ? 0 : 3;
      },
      std::chrono::seconds(30));
  EXPECT_EQ(succeeded, 1);
  WriteBytes(file, Description(3));
  const auto giveUp = Clock::now() + std::chrono::seconds(5);
  while (Trade(watch) != "TA_3" && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(Trade(watch), "TA_3");
  EXPECT_EQ(watch.PollReason(), "");
}

// Where the system refuses an inotify instance (here: no descriptor left),
// the watcher says it polls, and finds changes by its stamp check; once
// descriptors are free again, it is notified again. In a child process, whose
// descriptor limit may be lowered.
TEST_F(DeployWatchTest, AWatcherSaysWhenItCanOnlyPoll) {
  WriteBytes(file, Description(1));
  const int succeeded = RunInChildren(
      1,
      [&](int) {
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
        const struct rlimit normal = limit;
        const int lowestFree = ::dup(0);
        if (lowestFree < 0) return 11;
        ::close(lowestFree);
        limit.rlim_cur = static_cast<rlim_t>(lowestFree);  // no descriptor can be opened
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 12;
        dezov::DeployWatch watch(file);
        const std::string reason = watch.PollReason();
        const bool unread = watch.Current() == nullptr && !watch.LastError().empty();
        ::setrlimit(RLIMIT_NOFILE, &normal);
        if (reason.find(std::strerror(EMFILE)) == std::string::npos) return 1;
        if (!unread) return 2;
        WriteBytes(file, Description(2));  // the unchanged file is not read again
        if (!AwaitGeneration(watch, 1, 3000) || Trade(watch) != "TA_2") return 3;
        const auto giveUp = Clock::now() + std::chrono::seconds(3);
        while (!watch.PollReason().empty() && Clock::now() < giveUp)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return watch.PollReason().empty() ? 0 : 4;
      },
      std::chrono::seconds(30));
  EXPECT_EQ(succeeded, 1);
}
#endif

}  // namespace
