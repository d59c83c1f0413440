// SPDX-License-Identifier: MIT
// The acceptance rule for bytes that replace a configuration file whole.
#include <gtest/gtest.h>

#include <string>

#include "ConfigCheck.h"

using dezov::CheckConfigBytes;
using dezov::ConfigKind;
using dezov::ConfigKindOf;

TEST(ConfigCheck, KindFollowsTheNameAndEachKindHasItsRefusals) {
  EXPECT_EQ(ConfigKindOf("a/b/Trade.XmL"), ConfigKind::kXml);
  EXPECT_EQ(ConfigKindOf("cfg.xml"), ConfigKind::kXml);
  for (const char* name : {"cfg.ini", "cfg.xml.bak", "xml", "", "cfg.xm"})
    EXPECT_EQ(ConfigKindOf(name), ConfigKind::kIni) << name;

  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"gb2312\"?><vornini><S><K Value=\"1\"/></S></vornini>";
  const std::string nul("[S]\nK=1\n\0", 9);
  struct Case {
    ConfigKind kind;
    std::string bytes;
    const char* reason;  // "" for accepted bytes
  } cases[] = {
      {ConfigKind::kIni, "[S]\nK=1\n", ""},
      {ConfigKind::kXml, xml, ""},
      {ConfigKind::kIni, "", "f.cfg: the new content is empty"},
      {ConfigKind::kXml, "", "f.cfg: the new content is empty"},
      {ConfigKind::kIni, nul, "f.cfg: the new content holds NUL bytes"},
      {ConfigKind::kXml, "[S]\nK=1\n", "f.cfg: the new content is no XML configuration file"},
      {ConfigKind::kXml, "<?xml version=\"1.0\"?><other/>",
       "f.cfg: the new content is no XML configuration file (root element vornini): XML Root"},
      // An INI file may hold anything but NUL: XML text included.
      {ConfigKind::kIni, xml, ""},
  };
  for (const Case& c : cases) {
    std::string reason = "stale";
    EXPECT_EQ(CheckConfigBytes(c.kind, c.bytes, "f.cfg", reason), *c.reason == '\0') << c.reason;
    if (*c.reason == '\0')
      EXPECT_EQ(reason, "");
    else
      EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
  }
}

// Deployment errors refuse the bytes, one line each, on the lines of the new
// content; warnings alone do not.
TEST(ConfigCheck, DeploymentErrorsAreListedWithTheirLinesInTheNewContent) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini>\n";
  const std::string bad = head +
                          "<DEPLOY>\n"
                          "<DEPLOY1 Value=\"JYS\"/>\n"       // line 4: no kind
                          "<DEPLOY2 Value=\"YYB,x\"/>\n"     // line 5: kind is no number
                          "</DEPLOY>\n"
                          "<YYB><DOMAIN1 Value=\"d,1\"/></YYB>\n</vornini>\n";
  std::string reason;
  EXPECT_FALSE(CheckConfigBytes(ConfigKind::kXml, bad, "new.xml", reason));
  EXPECT_EQ(reason.rfind("new.xml: the new deployment description has 2 errors:\nnew.xml:4: error: "
                         "DEPLOY\\DEPLOY1: ",
                         0),
            0u)
      << reason;
  EXPECT_NE(reason.find("\nnew.xml:5: error: DEPLOY\\DEPLOY2: kind \"x\""), std::string::npos)
      << reason;

  const std::string good = head +
                           "<DEPLOY><DEPLOY1 Value=\"YYB,0\"/></DEPLOY>\n"
                           "<YYB><DOMAIN1 Value=\"d,1\"/><DOMAIN2 Value=\"e,1\"/></YYB>\n"
                           "</vornini>\n";
  EXPECT_TRUE(CheckConfigBytes(ConfigKind::kXml, good, "new.xml", reason)) << reason;
  EXPECT_EQ(reason, "");
}
