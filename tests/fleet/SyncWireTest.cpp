// SPDX-License-Identifier: MIT
// What the agent reads and writes as text: the gateway's messages (as a 3.4
// member sends them), the status file, and the file each key goes to.
#include <gtest/gtest.h>

#include <string>

#include "EtcdWire.h"
#include "SyncStatus.h"
#include "SyncTarget.h"

namespace {

using namespace dezov::sync;

TEST(EtcdWireTest, Base64AndPrefixRangeEnds) {
  const std::string all(1, '\0');
  struct Case { std::string bytes, text; } cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"/fleet/a", "L2ZsZWV0L2E="},
      {std::string("\0\xff\x80", 3), "AP+A"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Base64Encode(c.bytes), c.text);
    std::string back;
    ASSERT_TRUE(Base64Decode(c.text, back)) << c.text;
    EXPECT_EQ(back, c.bytes);
  }
  std::string ignored;
  for (const char* bad : {"Zm9v!", "Z", "Zm9vZ"}) EXPECT_FALSE(Base64Decode(bad, ignored)) << bad;

  EXPECT_EQ(PrefixRangeEnd("/fleet/"), "/fleet0");
  EXPECT_EQ(PrefixRangeEnd(std::string("a\xff", 2)), "b");
  EXPECT_EQ(PrefixRangeEnd(std::string("\xff\xff", 2)), all);
  EXPECT_EQ(PrefixRangeEnd(""), all);
}

TEST(EtcdWireTest, ReadsTheGatewaysAnswers) {
  const std::string header =
      R"("header":{"cluster_id":"13455796455940752355","member_id":"443629905751424238","revision":"4","raft_term":"2"})";
  RangeAnswer range;
  std::string reason;
  ASSERT_TRUE(ParseRange("{" + header +
                             R"(,"kvs":[{"key":"L2ZsZWV0L2E=","create_revision":"2","mod_revision":"2","version":"1","value":"aGVsbG8="},)"
                             R"({"key":"L2ZsZWV0L2I=","create_revision":"3","mod_revision":"3","version":"1"}],"count":"2"})",
                         range, reason))
      << reason;
  EXPECT_EQ(range.revision, 4);
  ASSERT_EQ(range.kvs.size(), 2u);
  EXPECT_EQ(range.kvs[0].key, "/fleet/a");
  EXPECT_EQ(range.kvs[0].value, "hello");
  EXPECT_EQ(range.kvs[0].revision, 2);
  EXPECT_EQ(range.kvs[1].value, "");  // an empty value is left out
  ASSERT_TRUE(ParseRange("{" + header + "}", range, reason));
  EXPECT_TRUE(range.kvs.empty());

  WatchMessage message;
  ASSERT_TRUE(ParseWatchMessage(R"({"result":{)" + header + R"(,"created":true}})", message, reason));
  EXPECT_EQ(message.kind, WatchMessage::kCreated);
  ASSERT_TRUE(ParseWatchMessage(
      R"({"result":{)" + header +
          R"(,"events":[{"kv":{"key":"L2ZsZWV0L2I=","create_revision":"3","mod_revision":"3","version":"1","value":"eA=="}},)"
          R"({"type":"DELETE","kv":{"key":"L2ZsZWV0L2E=","mod_revision":"4"}}]}})",
      message, reason))
      << reason;
  ASSERT_EQ(message.kind, WatchMessage::kEvents);
  ASSERT_EQ(message.events.size(), 2u);
  EXPECT_FALSE(message.events[0].deleted);
  EXPECT_EQ(message.events[0].value, "x");
  EXPECT_TRUE(message.events[1].deleted);
  EXPECT_EQ(message.events[1].revision, 4);
  ASSERT_TRUE(ParseWatchMessage(
      R"({"result":{"header":{"cluster_id":"1","raft_term":"2"},"canceled":true,"compact_revision":"4"}})",
      message, reason));
  EXPECT_EQ(message.kind, WatchMessage::kCompacted);
  EXPECT_EQ(message.compactRevision, 4);
  ASSERT_TRUE(ParseWatchMessage(R"({"result":{)" + header + "}}", message, reason));
  EXPECT_EQ(message.kind, WatchMessage::kProgress);
  EXPECT_EQ(message.revision, 4);
  ASSERT_TRUE(ParseWatchMessage(
      R"({"result":{"header":{"revision":"9"},"canceled":true,"cancel_reason":"etcdserver: no leader"}})",
      message, reason));
  EXPECT_EQ(message.kind, WatchMessage::kCanceled);
  EXPECT_EQ(message.reason, "etcdserver: no leader");

  std::string token;
  ASSERT_TRUE(ParseAuthenticate("{" + header + R"(,"token":"abc.12"})", token, reason));
  EXPECT_EQ(token, "abc.12");
  EXPECT_FALSE(ParseAuthenticate(
      R"({"error":"etcdserver: authentication failed, invalid user ID or password","message":"etcdserver: authentication failed, invalid user ID or password","code":3})",
      token, reason));
  EXPECT_TRUE(IsAuthenticationRefusal(reason)) << reason;
}

TEST(EtcdWireTest, RefusesErrorsAndMangledAnswers) {
  std::string reason;
  RangeAnswer range;
  EXPECT_FALSE(ParseRange(
      R"({"error":"etcdserver: mvcc: required revision has been compacted","message":"etcdserver: mvcc: required revision has been compacted","code":11})",
      range, reason));
  EXPECT_NE(reason.find("compacted (code 11)"), std::string::npos) << reason;
  WatchMessage message;
  EXPECT_FALSE(ParseWatchMessage(R"({"error":{"grpc_code":14,"http_code":503,"message":"etcdserver: no leader"}})",
                                 message, reason));
  EXPECT_NE(reason.find("no leader (code 14)"), std::string::npos) << reason;
  for (const char* bad :
       {"", "[]", "404 page not found", R"({"header":{"revision":"x"}})", R"({"kvs":[]})",
        R"({"header":{"revision":"3"},"kvs":[{"key":"!!","mod_revision":"2"}]})",
        R"({"header":{"revision":"3"},"kvs":[{"key":"YQ=="}]})"})
    EXPECT_FALSE(ParseRange(bad, range, reason)) << bad;
  for (const char* bad : {R"({"result":{"events":[{"type":"MOVE","kv":{"key":"YQ==","mod_revision":"2"}}]}})",
                          R"({"result":{"events":{}}})", R"({"result":{}})", R"({"other":1})"})
    EXPECT_FALSE(ParseWatchMessage(bad, message, reason)) << bad;
}

TEST(SyncStatusTest, RoundTripsOddKeysAndRefusesDamage) {
  SyncStatus status;
  status.revision = 1234;
  status.time = 1767225600;  // 2026-01-01T00:00:00Z
  status.records[std::string("/p/a b%\n\xff", 9)] = KeyRecord{1230, 1229, true};
  status.records["/p/gone"] = KeyRecord{1200, 0, false};
  const std::string text = FormatStatus(status);
  EXPECT_NE(text.find("time 2026-01-01T00:00:00Z\n"), std::string::npos) << text;
  EXPECT_NE(text.find("key 1230 1229 1 /p/a%20b%25%0A%FF\n"), std::string::npos) << text;
  SyncStatus back;
  std::string reason;
  ASSERT_TRUE(ParseStatus(text, back, reason)) << reason;
  EXPECT_EQ(back.revision, 1234);
  EXPECT_EQ(back.time, status.time);
  ASSERT_EQ(back.records.size(), 2u);
  EXPECT_EQ(back.records.begin()->first, std::string("/p/a b%\n\xff", 9));
  EXPECT_EQ(back.records.begin()->second.fileRevision, 1229);
  EXPECT_FALSE(back.records.at("/p/gone").exists);

  for (const char* bad : {"", "time 2026-01-01T00:00:00Z\n", "revision -1\n", "revision 5 6\n",
                          "revision 5\nkey 1 1 2 /a\n", "revision 5\nkey 1 1 1 /a%4\n",
                          "revision 5\nkey 1 1 1\n", "revision 5\ntime yesterday\n",
                          "revision 5\nwhatever\n"})
    EXPECT_FALSE(ParseStatus(bad, back, reason)) << bad;
}

TEST(SyncTargetTest, FilesOfKeys) {
  const SyncTarget one = SyncTarget::OneKey("/fleet/deploy.xml", "/srv/app/deploy.xml");
  std::string file, reason;
  EXPECT_TRUE(one.FileOf("/fleet/deploy.xml", file, reason));
  EXPECT_EQ(file, "/srv/app/deploy.xml");
  EXPECT_EQ(one.RangeEnd(), "");
  EXPECT_FALSE(one.FileOf("/fleet/deploy.xml2", file, reason));

  const SyncTarget folder = SyncTarget::Prefix("/fleet/", "/srv/conf/");
  EXPECT_EQ(folder.RangeEnd(), "/fleet0");
  EXPECT_TRUE(folder.FileOf("/fleet/app.ini", file, reason));
  EXPECT_EQ(file, "/srv/conf/app.ini");
  EXPECT_TRUE(folder.FileOf("/fleet/" + std::string(255, 'n'), file, reason));
  for (const std::string& key :
       {std::string("/fleet/"), std::string("/fleet/.."), std::string("/fleet/."),
        std::string("/fleet/.app.ini.lock"), std::string("/fleet/../etc/passwd"),
        std::string("/fleet//etc/passwd"), std::string("/fleet/sub/app.ini"),
        std::string("/fleet/a\0b", 10), "/fleet/" + std::string(256, 'n'), std::string("/other/a")})
    EXPECT_FALSE(folder.FileOf(key, file, reason)) << key;
  EXPECT_TRUE(SyncTarget::Prefix("", "/").FileOf("a", file, reason));
  EXPECT_EQ(file, "/a");
}

}  // namespace
