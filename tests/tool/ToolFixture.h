// SPDX-License-Identifier: MIT
// Runs the tool on copies of the shipped examples in a private directory.
#ifndef DEZOV20_TESTS_TOOL_TOOL_FIXTURE_H
#define DEZOV20_TESTS_TOOL_TOOL_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "tool/ToolRunner.h"

namespace tool_tests {

class ToolTest : public ::testing::Test {
 protected:
  // A copy of examples/name in the private directory; its path.
  std::string Copy(const std::string& name) {
    const std::string path = dir.File(name);
    testing_support::WriteBytes(path, testing_support::ReadBytes(
                                          testing_support::SourceFile("examples/" + name)));
    return path;
  }
  // Runs the tool and expects a clean exit with that status and nothing
  // unexpected on the other stream; returns stdout.
  std::string Expect(int status, const std::vector<std::string>& args,
                     const ToolOptions& options = {}) {
    const ToolResult result = RunTool(args, options);
    EXPECT_EQ(result.status, status) << result.err;
    EXPECT_EQ(result.err.empty(), status == 0) << result.err;
    return result.out;
  }
  testing_support::TempDir dir;
};

}  // namespace tool_tests

#endif  // DEZOV20_TESTS_TOOL_TOOL_FIXTURE_H
