// SPDX-License-Identifier: MIT
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

// The XML form of a description written as "[section]" and "key=value" lines.
inline std::string XmlOf(const std::string& text) {
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
  return xml + (open.empty() ? "" : "</" + open + ">") + "</vornini>";
}

// Loads the description written as "[section]" and "key=value" lines.
inline void Load(CKdDeploy& resolver, const std::string& text) { LoadXml(resolver, XmlOf(text)); }

// The worked example, read from the shipped example configuration.
inline void LoadExample(CKdDeploy& resolver) {
  LoadXml(resolver, testing_support::ReadBytes(testing_support::SourceFile("examples/deploy.xml")));
}

// One question: a lookup by its member name with its arguments, and the answer.
struct Ask {
  std::string call;
  std::vector<std::string> args;
  std::string answer;
};

// The resolver's answer; GetNextQueryDomain answers "true:name" or "false:name".
inline std::string Answer(CKdDeploy& d, const Ask& q) {
  std::vector<std::string> a = q.args;
  a.resize(4);
  const std::string& call = q.call;
  if (call == "GetScheme") return std::to_string(d.GetScheme());
  if (call == "GetDomainStr") return d.GetDomainStr(a[0], a[1], a[2]);
  if (call == "GetDomain") return d.GetDomain(a[0], a[1], a[2]);
  if (call == "GetNextDomainStr") return d.GetNextDomainStr(a[0], a[1], a[2], a[3]);
  if (call == "GetNextDomain") return d.GetNextDomain(a[0], a[1], a[2], a[3]);
  if (call == "GetMulTradeDomain") return d.GetMulTradeDomain(a[0], a[1]);
  if (call == "GetTradeDomain") {
    const std::string before = a[0] + "/" + a[1];
    const std::string answer = d.GetTradeDomain(a[0], a[1]);
    return before == a[0] + "/" + a[1] ? answer : "changed its arguments";
  }
  if (call == "GetHistoryDomain") return d.GetHistoryDomain(a[0], a[1], a[2], a[3]);
  if (call == "GetNextQueryDomain") {
    std::string result = "stale";
    const bool found = d.GetNextQueryDomain(a[0], a[1], a[2], result);
    return (found ? "true:" : "false:") + result;
  }
  return "unknown call " + call;
}

inline void ExpectAnswers(CKdDeploy& d, const std::vector<Ask>& questions) {
  for (const Ask& q : questions)
    EXPECT_EQ(Answer(d, q), q.answer) << q.call << ::testing::PrintToString(q.args);
}

}  // namespace deploy_test

#endif  // DEZOV20_TESTS_DEPLOY_DEPLOY_FIXTURE_H
