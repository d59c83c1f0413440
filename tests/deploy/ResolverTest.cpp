// The resolver's answers: descriptions under tests/deploy/golden with the
// expected answers beside them (NAME.answers holds one question per line,
// "Call(arg, arg, ...) = answer", and is asked of NAME.xml or of the file its
// "description:" line names; \xHH in a line stands for that byte), asked from
// several threads at once; then schemes, copies, and loads that fail part way.
#include <atomic>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeployFixture.h"

using deploy_test::Ask;

namespace deploy_test {
extern std::atomic<long> allocationsLeft;  // AllocationLimit.cpp
}
using deploy_test::allocationsLeft;

namespace {

using testing_support::Unescape;

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

}  // namespace
