// Schemes, copies, and loads that fail part way; the loading limits are the
// golden file limits.answers.
#include <atomic>
#include <string>

#include "DeployFixture.h"

namespace deploy_test {
extern std::atomic<long> allocationsLeft;  // AllocationLimit.cpp
}
using deploy_test::allocationsLeft;

namespace {

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
