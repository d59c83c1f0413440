// Loading rules, schemes and copies, and lookups on awkward descriptions.
#include <string>

#include "DeployFixture.h"

namespace {

TEST(DeployEdge, LoadingRulesAndByteWiseComparison) {
  CKdDeploy d;
  deploy_test::Load(d,
                    "[DEPLOY]\nDEPLOY1=A,0\nDEPLOY2=B\nDEPLOY3=R,1,extra\nDEPLOY4=yyb,0\n"
                    "DEPLOY5=H,4294967297\nDEPLOY7=D,0\n"
                    "[A]\nDOMAIN1=a1,x\nDOMAIN2=bad\nDOMAIN3=a3,y,z\nDOMAIN4=a1,k\nDOMAIN5=c,k\n"
                    "DOMAIN7=a7,w\n[R]\nDOMAIN1=r1,10:\nDOMAIN2=r2,:20\nDOMAIN3=r3,30\n"
                    "DOMAIN4=ten,40:59:99\nDOMAIN5=wide,z:\xC0\xA1\n"
                    "[yyb]\nDOMAIN1=low,k\n[H]\nDOMAIN1=h1,10:20\n[D]\nDOMAIN1=d1,k\n");
  EXPECT_EQ(d.GetScheme(), 0);  // "yyb" is not "YYB"
  deploy_test::ExpectAnswers(d,
                             {{"Str", {"A", "x", ""}, "a1"},
                              {"NextStr", {"A", "", "", "a1"}, "a3"},
                              {"Str", {"A", "z", ""}, ""},
                              {"Str", {"A", "w", ""}, ""},             // behind DOMAIN6
                              {"NextStr", {"A", "k", "", "a1"}, "c"},  // the copy of a1 is passed
                              {"Str", {"D", "k", ""}, ""},             // behind DEPLOY6
                              {"Str", {"yyb", "k", ""}, "low"},
                              {"Str", {"YYB", "k", ""}, ""},
                              {"Str", {"H", "10:2", ""}, "h1"},  // a huge kind is no range kind
                              {"NextStr", {"R", "", "9", "r1"}, ""},
                              {"Str", {"R", "10", "10"}, "r2"},
                              {"NextStr", {"R", "7", "9", "r2"}, "ten"},
                              {"Str", {"R", "60", "99"}, ""},
                              {"Str", {"R", "100", "100"}, "r2"},
                              {"Str", {"R", "\xB0\xA1", "\xB0\xA1"}, "wide"}});
}

TEST(DeployEdge, ReadsAtMost99DeploymentsAnd299Domains) {
  std::string text = "[DEPLOY]\n";
  for (int n = 1; n <= 100; ++n)
    text += "DEPLOY" + std::to_string(n) + "=D" + std::to_string(n) + ",0\n";
  text += "[D1]\n";
  for (int m = 1; m <= 300; ++m)
    text +=
        "DOMAIN" + std::to_string(m) + "=d" + std::to_string(m) + ",#" + std::to_string(m) + "#\n";
  CKdDeploy d;
  deploy_test::Load(d, text + "[D99]\nDOMAIN1=last,k\n[D100]\nDOMAIN1=over,k\n");
  deploy_test::ExpectAnswers(d, {{"Str", {"D1", "#299#", ""}, "d299"},
                                 {"Str", {"D1", "#300#", ""}, ""},
                                 {"Str", {"D99", "k", ""}, "last"},
                                 {"Str", {"D100", "k", ""}, ""}});
}

TEST(DeployEdge, SchemeOutlivesFreeNullStoresAndLoadsWithoutItsNames) {
  CKdDeploy d;
  deploy_test::Load(d, "[DEPLOY]\nDEPLOY1=JYS,0\n[JYS]\nDOMAIN1=SH,1\n");
  EXPECT_EQ(d.GetScheme(), 2);
  deploy_test::ExpectAnswers(d, {{"Mul", {"0101", "1"}, "SH"}, {"Mul", {"", "1"}, "SH"}});
  deploy_test::LoadExample(d);
  d.InitDeloy(nullptr);
  deploy_test::ExpectAnswers(d, {{"Str", {"JYS", "1", ""}, "SH"}});
  deploy_test::Load(d, "[DEPLOY]\nDEPLOY1=Other,0\n");
  EXPECT_EQ(d.GetScheme(), 3);
  deploy_test::ExpectAnswers(d, {{"Str", {"JYS", "1", ""}, ""}});
  deploy_test::LoadExample(d);
  d.Free();
  EXPECT_EQ(d.GetScheme(), 3);
  deploy_test::ExpectAnswers(d, {{"Str", {"JYS", "1", ""}, ""}, {"Mul", {"0101", "1"}, ""}});
}

TEST(DeployEdge, BranchOnlySchemeAndHistoryWalkThatWouldCircle) {
  CKdDeploy d;
  deploy_test::Load(
      d,
      "[DEPLOY]\nDEPLOY1=YYB,0\nDEPLOY2=RQ,1\n[YYB]\n"
      "DOMAIN1=TA_SH1:TA_SH2:TA_SZ1:HA_2005:HA_2006,0101;0102\nDOMAIN2=P:Q:P:R,07\n"
      "DOMAIN3=a::b,08\n[RQ]\nDOMAIN1=X,1:9\nDOMAIN2=Y,1:9\nDOMAIN3=X,1:9\nDOMAIN4=Z,1:9\n");
  EXPECT_EQ(d.GetScheme(), 1);
  deploy_test::ExpectAnswers(d, {{"Mul", {"0101", "1"}, "TA_SH1,TA_SH2,TA_SZ1,HA_2005,HA_2006"},
                                 {"Mul", {"08", "1"}, "a,,b"},
                                 {"Query", {"07", "1", "P"}, "true:R"},
                                 {"Query", {"07", "1", "X"}, "false:"},
                                 {"History", {"0101", "1", "9", "X"}, ""},
                                 {"History", {"0101", "1", "9", "Y"}, ""},
                                 {"History", {"0999", "1", "9", "Y"}, "X"}});
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
    deploy_test::ExpectAnswers(*d, {{"Str", {"JYS", "1", ""}, "SH"},
                                    {"History", {"0101", "20060315", "20060315", ""}, "HA_2006"}});
  }
  deploy_test::ExpectAnswers(source, {{"Str", {"JYS", "1", ""}, "XX"}});
  assigned = CKdDeploy();
  EXPECT_EQ(assigned.GetScheme(), 0);
}

}  // namespace
