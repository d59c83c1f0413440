// Every failing sequence the model test has found, shrunk, run as it stands:
// each must agree with the model. New cases come from the model test's
// failure output, pasted into the table as they are printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/ModelOps.h"
#include "model/StoreModel.h"

namespace store_model {
namespace {

struct RegressionCase {
  std::string name;
  StoreKind kind;
  std::vector<Op> ops;
};

const std::vector<RegressionCase>& Cases() {
  static const std::vector<RegressionCase> cases = {
  };
  return cases;
}

TEST(StoreModelRegressions, EveryFoundSequenceAgreesWithTheModel) {
  for (const RegressionCase& c : Cases()) {
    const RunResult result = RunSequence(c.kind, c.ops);
    EXPECT_TRUE(result.ok) << c.name << ": after operation " << result.step << ": " << result.what;
  }
}

}  // namespace
}  // namespace store_model
