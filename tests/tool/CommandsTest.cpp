// SPDX-License-Identifier: MIT
// The commands' behaviour the sessions cannot state: text conversion and raw
// bytes as they lie on disk, files made by set, values from standard input,
// failed writes, check findings named by the path given, the demo's built-in
// copy, put's checks and its wait for a save in progress, and watch.
// Help is checked against the manual page (ManPageTest), misuses and missing
// files are in sessions/conventions.session.
#include <signal.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "GbkText.h"
#include "platform/SaveProtocol.h"
#include "support/TestFiles.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using namespace testing_support;

using ToolConventionsTest = ToolTest;
// GBK bytes of the names used: 张三, 李四.
const std::string kZhangSan = "\xD5\xC5\xC8\xFD", kLiSi = "\xC0\xEE\xCB\xC4";

// Only the value's bytes change (more of the conversion in sessions/encoding.session).
TEST_F(ToolConventionsTest, TextIsUtf8OnTheCommandLineAndGbkInTheFile) {
  const std::string ini = Copy("app.ini");
  std::string expected = ReadBytes(ini);
  expected.replace(expected.find(kZhangSan), kZhangSan.size(), kLiSi);
  EXPECT_EQ(Expect(0, {"ini", ini, "set", "User", "Name", "李四"}), "");
  EXPECT_EQ(ReadBytes(ini), expected);
}

TEST_F(ToolConventionsTest, AFailedWriteKeepsTheOldFile) {
  ToolOptions tooSmall;
  tooSmall.fileSizeLimit = 64;  // every example is larger
  for (const char* name : {"stations.xml", "app.ini"}) {
    const std::string file = Copy(name);
    const std::string before = ReadBytes(file);
    const std::string group = std::string(name).find(".xml") != std::string::npos ? "xml" : "ini";
    const ToolResult result = RunTool({group, file, "set", "SERVER", "Host", "10.9.9.9"}, tooSmall);
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;  // the reason
    EXPECT_EQ(ReadBytes(file), before) << name;
  }
  // No temporary file left behind (EntryCount passes over the saves' lock files).
  EXPECT_EQ(dir.EntryCount(), 2);
}

TEST_F(ToolConventionsTest, RawBytesAndTextThatCannotBeConverted) {
  const std::string file = dir.File("raw.ini");
  WriteBytes(file, "[S]\nK=\x81\x7f\n");  // a lead byte without a trail byte
  const ToolResult bad = RunTool({"ini", file, "get", "S", "K"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("--raw"), std::string::npos);
  EXPECT_EQ(Expect(0, {"--raw", "ini", file, "get", "S", "K"}), "\x81\x7f\n");

  ToolOptions plainC;
  plainC.locale = "C";  // taken as UTF-8
  WriteBytes(file, "[S]\nK=\xD6\xB5\n");  // 值
  EXPECT_EQ(Expect(0, {"ini", file, "get", "S", "K"}, plainC), "值\n");
}

// GBK bytes of text by the library's rule, which the Python module writes with.
std::string Gbk(const std::string& utf8) {
  std::string gbk;
  std::string reason;
  EXPECT_TRUE(dezov::Utf8ToGbk(utf8, gbk, reason)) << reason;
  return gbk;
}

// Characters on both sides of code page 936: two-byte GBK, the euro sign (0x80),
// and GB18030 four-byte forms (Thai, an emoji).
const std::string kMixed = "中文 € ฿ 😀";

TEST_F(ToolConventionsTest, FilesInTheLibrarysTextRuleReadAndWriteThroughTheTool) {
  // As the module writes them: four-byte forms in an INI and an XML file.
  const std::string ini = dir.File("module.ini");
  WriteBytes(ini, "[S]\nK=" + Gbk(kMixed) + "\n");
  EXPECT_EQ(Expect(0, {"ini", ini, "get", "S", "K"}), kMixed + "\n");
  EXPECT_EQ(Expect(0, {"ini", ini, "get", "S", "K", "--format", "json"}), "[\"" + kMixed + "\"]\n");
  const std::string xml = dir.File("module.xml");
  WriteBytes(xml, "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini><S><K Value=\"" +
                      Gbk(kMixed) + "\"/></S></vornini>\n");
  EXPECT_EQ(Expect(0, {"xml", xml, "get", "S", "K"}), kMixed + "\n");
  // And what the tool writes is the rule's bytes.
  EXPECT_EQ(Expect(0, {"ini", ini, "set", "S", "New", kMixed + "!"}), "");
  EXPECT_EQ(ReadBytes(ini), "[S]\nK=" + Gbk(kMixed) + "\nNew=" + Gbk(kMixed + "!") + "\n");
  EXPECT_EQ(Expect(0, {"xml", xml, "set", "S", "K", "😀"}), "");
  EXPECT_NE(ReadBytes(xml).find("Value=\"\x94\x39\xFC\x36\""), std::string::npos) << ReadBytes(xml);
}

TEST_F(ToolConventionsTest, AnIniFileWithAUtf8MarkIsReadAndWrittenAsUtf8) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string file = dir.File("utf8.ini");
  WriteBytes(file, mark + "; 注释\r\n[节]\r\n键=值\r\n");
  EXPECT_EQ(Expect(0, {"ini", file, "get", "节", "键"}), "值\n");
  EXPECT_EQ(Expect(0, {"ini", file, "set", "节", "键", kMixed}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "set", "新", "键", "€"}), "");
  // The mark, the line ends and the comment stay; every new byte is UTF-8.
  EXPECT_EQ(ReadBytes(file), mark + "; 注释\r\n[节]\r\n键=" + kMixed + "\r\n[新]\r\n键=€\r\n");
  EXPECT_EQ(Expect(0, {"--raw", "ini", file, "get", "新", "键"}), "€\n");
  // --encoding does not override the mark.
  EXPECT_EQ(Expect(0, {"ini", file, "--encoding", "gbk", "get", "节", "键"}), kMixed + "\n");
  EXPECT_EQ(Expect(0, {"ini", file, "rm-section", "新"}), "");
  EXPECT_EQ(ReadBytes(file), mark + "; 注释\r\n[节]\r\n键=" + kMixed + "\r\n");

  // Without the mark: UTF-8 only when asked, GBK by default.
  const std::string plain = dir.File("plain.ini");
  EXPECT_EQ(Expect(0, {"ini", plain, "--encoding", "utf-8", "set", "S", "K", "值"}), "");
  EXPECT_EQ(Expect(0, {"ini", plain, "set", "S", "G", "值"}), "");
  EXPECT_EQ(ReadBytes(plain), "[S]\nK=值\nG=" + Gbk("值") + "\n");
}

TEST_F(ToolConventionsTest, SetMakesAMissingFileOnlyWhenTheChangeIsWritten) {
  EXPECT_EQ(Expect(0, {"ini", dir.File("new.ini"), "set", "S", "K", "v"}), "");
  EXPECT_EQ(ReadBytes(dir.File("new.ini")), "[S]\nK=v\n");
  EXPECT_EQ(Expect(0, {"xml", dir.File("new.xml"), "set", "S", "K", "v"}), "");
  EXPECT_EQ(Expect(0, {"xml", dir.File("new.xml"), "get", "S", "K"}), "v\n");
  EXPECT_EQ(dir.EntryCount(), 2);
  // Refused changes, and --existing, leave nothing behind.
  const std::vector<std::vector<std::string>> refused = {
      {"ini", dir.File("a.ini"), "set", "a]b", "K", "v"},
      {"ini", dir.File("b.ini"), "set", "S", "K", "v", "--existing"},
      {"xml", dir.File("c.xml"), "set", "bad name", "K", "v"},
      {"xml", dir.File("d.xml"), "set-attr", "S", "bad name", "v"},
      {"xml", dir.File("e.xml"), "set", "S", "K", "v", "--existing"}};
  for (const auto& args : refused) Expect(2, args);
  EXPECT_EQ(dir.EntryCount(), 2);
  // A failed write of a new file leaves none either.
  ToolOptions tooSmall;
  tooSmall.fileSizeLimit = 200;  // room for the default document, not for the value
  const ToolResult full =
      RunTool({"xml", dir.File("f.xml"), "set", "S", "K", std::string(256, 'v')}, tooSmall);
  EXPECT_EQ(full.status, 2);
  EXPECT_NE(full.err.find("no file is left behind"), std::string::npos) << full.err;
  const ToolResult fullIni =
      RunTool({"ini", dir.File("f.ini"), "set", "S", "K", std::string(256, 'v')}, tooSmall);
  EXPECT_EQ(fullIni.status, 2);
  EXPECT_NE(fullIni.err.find("no file was created"), std::string::npos) << fullIni.err;
  EXPECT_EQ(dir.EntryCount(), 2);
}

TEST_F(ToolConventionsTest, AValueOfADashComesFromStandardInputExactly) {
  ToolOptions input;
  input.inputFile = dir.File("input");
  const auto setFrom = [&](const std::vector<std::string>& args, const std::string& bytes) {
    WriteBytes(input.inputFile, bytes);
    return RunTool(args, input);
  };
  // Over 200 KiB of text with Chinese in it: converted as an argument would be.
  std::string big;
  while (big.size() < 210 * 1024) big += "0123456789abcdef中文";
  const std::string ini = dir.File("big.ini");
  EXPECT_EQ(setFrom({"ini", ini, "set", "S", "K", "-"}, big + "\n").status, 0);
  EXPECT_EQ(ReadBytes(ini), "[S]\nK=" + Gbk(big) + "\n");
  EXPECT_EQ(Expect(0, {"ini", ini, "get", "S", "K"}), big + "\n");
  const std::string xml = dir.File("big.xml");
  EXPECT_EQ(setFrom({"xml", xml, "set", "S", "K", "-"}, big).status, 0);
  EXPECT_EQ(Expect(0, {"xml", xml, "get", "S", "K"}), big + "\n");

  // One line end goes (LF or CR LF), a second stays; --raw takes the bytes as they are.
  EXPECT_EQ(setFrom({"xml", xml, "set", "S", "K", "-"}, "a\r\n\r\n").status, 0);
  EXPECT_EQ(Expect(0, {"xml", xml, "get", "S", "K", "--format", "json"}), "[\"a\\r\\n\"]\n");
  EXPECT_EQ(setFrom({"--raw", "ini", ini, "set", "S", "K", "-"}, "\xD6\xD0\n").status, 0);
  EXPECT_EQ(ReadBytes(ini), "[S]\nK=\xD6\xD0\n");
  EXPECT_EQ(setFrom({"ini", ini, "set", "S", "K", "-"}, "").status, 0);
  EXPECT_EQ(ReadBytes(ini), "[S]\nK=\n");
  // What the store cannot hold is refused with its reason, and changes nothing.
  const ToolResult twoLines = setFrom({"ini", ini, "set", "S", "K", "-"}, "a\nb\n");
  EXPECT_EQ(twoLines.status, 2);
  EXPECT_NE(twoLines.err.find("cannot store \"[S] K\""), std::string::npos) << twoLines.err;
  const ToolResult notUtf8 = setFrom({"ini", ini, "set", "S", "K", "-"}, "\xFF\n");
  EXPECT_EQ(notUtf8.status, 2);
  EXPECT_NE(notUtf8.err.find("VALUE is not valid UTF-8 text (byte 0xFF at offset 0)"),
            std::string::npos) << notUtf8.err;
  const ToolResult nul = setFrom({"ini", ini, "set", "S", "K", "-"}, std::string("a\0b", 3));
  EXPECT_EQ(nul.status, 2);
  EXPECT_NE(nul.err.find("NUL byte (offset 1)"), std::string::npos) << nul.err;
  EXPECT_EQ(ReadBytes(ini), "[S]\nK=\n");
}

class DeployToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("deploy.xml"); }
  // dezov put target < bytes
  ToolResult Put(const std::string& target, const std::string& bytes) {
    WriteBytes(dir.File("input"), bytes);
    ToolOptions options;
    options.inputFile = dir.File("input");
    return RunTool({"put", target}, options);
  }
  std::string Example() { return ReadBytes(testing_support::SourceFile("examples/deploy.xml")); }
  std::string file;
};

TEST_F(DeployToolTest, CheckPrintsTheFindingsASummaryAndTheirWorstSeverity) {
  // The golden file's one finding, named by the path the tool was given.
  const std::string golden = testing_support::SourceFile("tests/deploy/check/no-trade-domain");
  const std::string copy = dir.File("no-trade-domain.xml");
  testing_support::WriteBytes(copy, testing_support::ReadBytes(golden + ".xml"));
  std::string finding = testing_support::ReadBytes(golden + ".expected");
  finding.replace(0, finding.find(':'), copy);
  ToolResult result = RunTool({"deploy", copy, "check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, finding + copy + ": 0 errors, 1 warning\n");
  result = RunTool({"deploy", copy, "check", "--werror"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out.substr(0, result.out.find(": error: ")), copy + ":10");
}

TEST_F(DeployToolTest, DemoWalksTheExampleFromTheFileOrTheBuiltInCopy) {
  const std::string walk = Expect(0, {"demo", file});
  EXPECT_NE(walk.find("-> TA_SH1,TA_SH2,  (the first, TA_SH1, is asked first)\n"),
            std::string::npos);
  EXPECT_NE(walk.find("\n   -> TA_SH2\n"), std::string::npos);
  EXPECT_NE(walk.find("\n   -> HA_2006\n"), std::string::npos);
  ToolOptions privateTemp;
  privateTemp.environment = {"TMPDIR=" + dir.path()};
  const std::string builtin = Expect(0, {"demo", "--builtin"}, privateTemp);
  EXPECT_EQ(builtin.substr(builtin.find('\n')), walk.substr(walk.find('\n')));
  EXPECT_EQ(dir.EntryCount(), 1);  // the built-in copy was removed again
  EXPECT_EQ(Expect(2, {"demo", "--builtin", file}), "");
}

TEST_F(DeployToolTest, PutReplacesTheFileOnlyWithContentThatPassesTheCheck) {
  const std::string changed = [&] {
    std::string text = Example();
    return text.replace(text.find("TA_SH1:"), 7, "TA_SH7:");
  }();
  ToolResult result = Put(file, changed);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(file), changed);

  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } refused[] = {
      {"empty", "", "the new content is empty"},
      {"cut short", changed.substr(0, changed.size() / 2), "no XML configuration file"},
      {"another root", "<config/>", "no XML configuration file"},
      {"no deployment", "<vornini><DEPLOY><DEPLOY1 Value=\"YYB\"/></DEPLOY></vornini>",
       "no deployment"},
      {"a check error", [&] {
         std::string text = changed;
         return text.replace(text.find("DEPLOY3"), 7, "DEPLOY4");  // a gap the resolver stops at
       }(),
       "deploy.xml:6: error: DEPLOY\\DEPLOY4: never read"},
  };
  for (const auto& c : refused) {
    result = Put(file, c.bytes);
    EXPECT_EQ(result.status, 2) << c.what;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(ReadBytes(file), changed) << c.what;
  }
  EXPECT_EQ(dir.EntryCount(), 2);  // deploy.xml and input: no temporary left

  // A store without deployments is still a configuration file; a new file is created.
  EXPECT_EQ(Put(dir.File("plain.xml"), "<vornini><A><B Value=\"1\"/></A></vornini>").status, 0);
  EXPECT_EQ(Put(dir.File("app.ini"), "[A]\r\nkey=value\r\n").status, 0);
  EXPECT_EQ(ReadBytes(dir.File("app.ini")), "[A]\r\nkey=value\r\n");
  result = Put(dir.File("app.ini"), std::string("[A]\0", 4));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(ReadBytes(dir.File("app.ini")), "[A]\r\nkey=value\r\n");
}

TEST_F(DeployToolTest, PutWaitsForASaveInProgress) {
  std::string text = Example();
  const std::string mine = text.replace(text.find("SZ,2"), 4, "SZ,4");
  std::promise<void> locked;
  std::thread saver([&] {
    dezov::platform::FileStamp stamp, written;
    ASSERT_TRUE(dezov::platform::StampFile(file, stamp).ok());
    const dezov::Status saved = dezov::platform::SaveLocked(
        file, stamp,
        [&](const dezov::platform::DiskState&, std::string& out) {
          locked.set_value();
          std::this_thread::sleep_for(std::chrono::milliseconds(400));
          out = Example();
          return dezov::Status::Ok();
        },
        written);
    EXPECT_TRUE(saved.ok()) << saved.message();
  });
  locked.get_future().wait();
  const ToolResult result = Put(file, mine);  // starts while the save holds the lock
  saver.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(file), mine);  // it replaced the file after that save, not before
}

TEST_F(DeployToolTest, WatchAnswersAgainWhenTheAnswerChangesAndEndsCleanlyOnSignals) {
  RunningTool watch({"deploy", file, "watch", "trade", "0101", "1"});
  std::string line;
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "TA_SH1,TA_SH2, TA_SH1");

  std::string text = Example();
  // A change that leaves this answer alone prints nothing.
  text.replace(text.find("SZ,2"), 4, "SZ,3");
  ASSERT_EQ(Put(file, text).status, 0);
  text.replace(text.find("TA_SH1:"), 7, "TA_SH5:");
  ASSERT_EQ(Put(file, text).status, 0);
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "TA_SH5,TA_SH2, TA_SH5");

  // A broken file is reported; the last good answer stands.
  WriteBytes(file, "<vornini><DEPLOY>");
  EXPECT_FALSE(watch.ReadLine(line, 600)) << line;
  EXPECT_NE(watch.Errors().find("reload failed, the last good answer stands"), std::string::npos)
      << watch.Errors();
  // A request nothing serves is an empty line.
  text.replace(text.find("0101;0102"), 9, "0201;0102");
  WriteBytes(file, text);
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "");
  EXPECT_EQ(watch.Stop(SIGTERM), 0);

  RunningTool interrupted({"deploy", file, "watch", "history", "0102", "20060315", "20060315"});
  ASSERT_TRUE(interrupted.ReadLine(line, 2000)) << interrupted.Errors();
  EXPECT_EQ(line, "HA_2006");
  EXPECT_EQ(interrupted.Stop(SIGINT), 0);
}

}  // namespace
}  // namespace tool_tests
