// Shared setup for the resolver tests: descriptions written INI-like ("[section]"
// lines, then "key=value" lines), loaded through an XML store that is destroyed
// before the resolver answers, and a table-driven way to ask the resolver.
#ifndef DEZOV20_TESTS_DEPLOY_DEPLOY_FIXTURE_H
#define DEZOV20_TESTS_DEPLOY_DEPLOY_FIXTURE_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "KdDeploy.h"
#include "XmlIni.h"
#include "support/TestFiles.h"

namespace deploy_test {

// Loads the XML text into resolver through a store that dies right after.
inline void LoadXml(CKdDeploy& resolver, const std::string& xml) {
  testing_support::TempDir dir;
  testing_support::WriteBytes(dir.File("deploy.xml"), xml);
  CXmlIni store;
  ASSERT_TRUE(store.Open(dir.File("deploy.xml").c_str())) << store.GetLastErrMsg();
  resolver.InitDeloy(&store);
}

// Loads the description written as "[section]" and "key=value" lines.
inline void Load(CKdDeploy& resolver, const std::string& text) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini>", open;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (line[0] == '[') {
      if (!open.empty()) xml += "</" + open + ">";
      open = line.substr(1, line.size() - 2);
      xml += "<" + open + ">";
    } else {
      const std::size_t eq = line.find('=');
      xml += "<" + line.substr(0, eq) + " Value=\"" + line.substr(eq + 1) + "\"/>";
    }
  }
  LoadXml(resolver, xml + (open.empty() ? "" : "</" + open + ">") + "</vornini>");
}

// The worked example, read from the shipped example configuration.
inline void LoadExample(CKdDeploy& resolver) {
  LoadXml(resolver, testing_support::ReadBytes(testing_support::SourceFile("examples/deploy.xml")));
}

// One question: a lookup by short name with its arguments, and the answer.
struct Ask {
  const char* call;
  std::vector<std::string> args;
  std::string answer;
};

// The resolver's answer; "Query" answers "true:name" or "false:name".
inline std::string Answer(CKdDeploy& d, const Ask& q) {
  const std::vector<std::string>& a = q.args;
  const std::string call = q.call;
  if (call == "Str") return d.GetDomainStr(a[0], a[1], a[2]);
  if (call == "Domain") return d.GetDomain(a[0], a[1], a[2]);
  if (call == "NextStr") return d.GetNextDomainStr(a[0], a[1], a[2], a[3]);
  if (call == "Next") return d.GetNextDomain(a[0], a[1], a[2], a[3]);
  if (call == "Mul") return d.GetMulTradeDomain(a[0], a[1]);
  if (call == "History") return d.GetHistoryDomain(a[0], a[1], a[2], a[3]);
  std::string result = "stale";
  const bool found = d.GetNextQueryDomain(a[0], a[1], a[2], result);
  return (found ? "true:" : "false:") + result;
}

inline void ExpectAnswers(CKdDeploy& d, const std::vector<Ask>& questions) {
  for (const Ask& q : questions)
    EXPECT_EQ(Answer(d, q), q.answer) << q.call << ::testing::PrintToString(q.args);
}

}  // namespace deploy_test

#endif  // DEZOV20_TESTS_DEPLOY_DEPLOY_FIXTURE_H
