// The shipped example description: every lookup, trade and history answer,
// also asked by several threads at once of one resolver.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "DeployFixture.h"

using deploy_test::Ask;

namespace {

const std::string kTa = "TA_SH1:TA_SH2:TA_SZ1:HA_2005:HA_2006";

const std::vector<Ask> kAnswers = {
    {"Str", {"YYB", "0102", ""}, kTa},
    {"Domain", {"YYB", "0102", ""}, "TA_SH1"},
    {"Str", {"JYS", "1", ""}, "SH"},
    {"Str", {"RQ", "20060315", "20060315"}, "2006"},
    {"Str", {"RQ", "20051201", "20060131"}, "2005"},
    {"NextStr", {"RQ", "20051201", "20060131", "2005"}, "2006"},
    {"NextStr", {"RQ", "20050301", "20050301", "2005"}, ""},
    {"Str", {"RQ", "20061231", "20050101"}, ""},
    {"Str", {"RQ", "20050101", ""}, ""},
    {"Next", {"YYB", "0201", "", kTa}, "TB_SH1"},
    {"Str", {"XYZ", "1", ""}, ""},
    {"Str", {"YYB", "", ""}, ""},                                // an empty key finds nothing
    {"NextStr", {"YYB", "", "", kTa}, "TB_SH1:TB_SZ1:HB_2007"},  // but walks on
    {"Str", {"RQ", "20051231", "20051231"}, "2005"},             // bounds are included
    {"NextStr", {"RQ", "20050101", "20071231", "2007"}, ""},
    {"Mul", {"0101", "1"}, "TA_SH1,TA_SH2,"},
    {"Mul", {"0101", "2"}, "TA_SZ1,"},
    {"Query", {"0101", "1", "TA_SH1"}, "true:TA_SH2"},
    {"Query", {"0101", "1", "TA_SH2"}, "false:"},
    {"Mul", {"0101", "9"}, "TA_SH1,TA_SH2,TA_SZ1,HA_2005,HA_2006,"},
    {"Mul", {"0999", "1"}, ""},
    {"History", {"0101", "20060315", "20060315", ""}, "HA_2006"},
    {"History", {"0101", "20051201", "20060131", ""}, "HA_2005"},
    {"History", {"0101", "20051201", "20060131", "2005"}, "HA_2006"},
    {"History", {"0101", "20070101", "20070101", ""}, ""},
    {"History", {"0201", "20050301", "20071231", ""}, ""},
    {"History", {"0201", "20050301", "20071231", "2005"}, "HB_2007"},
    {"History", {"0999", "20070101", "20070101", ""}, "2007"},
    {"History", {"0999", "20050301", "20071231", "2005"}, "2006"},
};

TEST(WorkedExample, Answers) {
  CKdDeploy d;
  deploy_test::LoadExample(d);
  EXPECT_EQ(d.GetScheme(), 3);
  deploy_test::ExpectAnswers(d, kAnswers);
  std::string yyb = "0101", jys = "2";
  EXPECT_EQ(d.GetTradeDomain(yyb, jys), "TA_SZ1");
  EXPECT_EQ(yyb + "/" + jys, "0101/2");
}

TEST(WorkedExample, ConcurrentLookupsOnOneResolver) {
  CKdDeploy d;
  deploy_test::LoadExample(d);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&d, &wrong] {
      for (int round = 0; round < 100; ++round)
        for (const Ask& q : kAnswers) wrong += deploy_test::Answer(d, q) != q.answer;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
