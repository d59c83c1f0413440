// The deployment check: one small description per finding under
// tests/deploy/check with the expected findings beside it (NAME.expected, the
// lines `dezov deploy NAME.xml check` prints before its summary), the shipped
// example checks clean, and a description that checks clean loads exactly
// what it holds. With DEZOV20_WRITE_GOLDEN set, the expected files are
// rewritten from what the check finds (review the difference before keeping it).
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "DeployCheck.h"
#include "DeployFixture.h"

namespace {

namespace fs = std::filesystem;

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

}  // namespace
