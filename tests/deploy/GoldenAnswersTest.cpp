// Descriptions under tests/deploy/golden with the resolver's expected answers
// beside them: NAME.answers holds one question per line,
// "Call(arg, arg, ...) = answer", and is asked of NAME.xml (or of the file its
// "description:" line names). \xHH in a line stands for that byte.
#include <atomic>
#include <filesystem>
#include <regex>
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
  GoldenFile golden{std::filesystem::path(answers).replace_extension(".xml").string(), {}};
  static const std::regex question(R"((\w+)\((.*)\) =(?: (.*))?)");
  std::istringstream in(testing_support::ReadBytes(answers.string()));
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("description: ", 0) == 0) {
      golden.description = testing_support::SourceFile(line.substr(13));
    } else if (std::regex_match(line, match, question)) {
      Ask ask{match[1], {}, Unescape(match[3])};
      const std::string args = match[2];
      for (std::size_t start = 0, comma = 0; !args.empty() && comma != std::string::npos;
           start = comma + 2) {
        comma = args.find(", ", start);
        ask.args.push_back(Unescape(args.substr(start, comma - start)));
      }
      golden.questions.push_back(ask);
    } else if (!line.empty() && line[0] != '#') {
      ADD_FAILURE() << answers << ": cannot read " << line;
    }
  }
  return golden;
}

TEST(GoldenAnswers, EveryDescriptionAnswersAsWritten) {
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(testing_support::SourceFile("tests/deploy/golden"))) {
    const auto& file = entry.path();
    if (file.extension() != ".answers") continue;
    SCOPED_TRACE(file.filename().string());
    ++files;
    const GoldenFile golden = ReadGolden(file);
    CKdDeploy d;
    deploy_test::LoadXml(d, testing_support::ReadBytes(golden.description));
    deploy_test::ExpectAnswers(d, golden.questions);
  }
  EXPECT_GE(files, 3);
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
