// SPDX-License-Identifier: MIT
// The shipped example deployment description, built into the program so that
// the demo runs without the source tree.
#ifndef DEZOV_TOOL_EXAMPLE_DEPLOYMENT_H
#define DEZOV_TOOL_EXAMPLE_DEPLOYMENT_H

namespace dezov {
namespace tool {

// The bytes of examples/deploy.xml as they were when the program was built.
const char* ExampleDeploymentXml();

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_EXAMPLE_DEPLOYMENT_H
