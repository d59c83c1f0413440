// Descriptions under tests/deploy/golden with the resolver's expected answers
// beside them: NAME.answers holds one question per line,
// "Call(arg, arg, ...) = answer", and is asked of NAME.xml (or of the file its
// "description:" line names). \xHH in a line stands for that byte.
#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeployFixture.h"

using deploy_test::Ask;

namespace {

using testing_support::Unescape;

struct GoldenFile {
  std::string description;  // path of the XML file
  std::vector<Ask> questions;
};

GoldenFile ReadGolden(const std::filesystem::path& answers) {
  GoldenFile golden;
  golden.description = std::filesystem::path(answers).replace_extension(".xml").string();
  std::istringstream in(testing_support::ReadBytes(answers.string()));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("description: ", 0) == 0) {
      golden.description = testing_support::SourceFile(line.substr(13));
      continue;
    }
    const std::size_t open = line.find('(');
    const std::size_t close = line.find(") =", open);
    if (open == std::string::npos || close == std::string::npos) {
      ADD_FAILURE() << answers << ": cannot read " << line;
      continue;
    }
    Ask ask;
    ask.call = line.substr(0, open);
    const std::string args = line.substr(open + 1, close - open - 1);
    for (std::size_t start = 0; !args.empty();) {
      const std::size_t comma = args.find(", ", start);
      ask.args.push_back(Unescape(args.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 2;
    }
    ask.answer = Unescape(line.size() > close + 4 ? line.substr(close + 4) : "");
    golden.questions.push_back(ask);
  }
  return golden;
}

std::vector<std::filesystem::path> GoldenAnswerFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(testing_support::SourceFile("tests/deploy/golden")))
    if (entry.path().extension() == ".answers") files.push_back(entry.path());
  return files;
}

TEST(GoldenAnswers, EveryDescriptionAnswersAsWritten) {
  const auto files = GoldenAnswerFiles();
  ASSERT_GE(files.size(), 3u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const GoldenFile golden = ReadGolden(file);
    CKdDeploy d;
    deploy_test::LoadXml(d, testing_support::ReadBytes(golden.description));
    deploy_test::ExpectAnswers(d, golden.questions);
  }
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

}  // namespace
