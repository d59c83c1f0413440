// SPDX-License-Identifier: MIT
// dezov.Deployment: one loaded resolver, shared with the watch binding, whose
// snapshots are Deployments too.
#ifndef DEZOV20_PYTHON_DEPLOYMENT_BINDING_H
#define DEZOV20_PYTHON_DEPLOYMENT_BINDING_H

#include <memory>
#include <string>

#include "KdDeploy.h"

namespace dezov {
namespace python {

// A resolver that is only read (its const lookups): a snapshot of a watch
// shares it with the watcher and with every other snapshot of that load.
struct Deployment {
  std::shared_ptr<const CKdDeploy> resolver;
  std::string source;  // the file it was loaded from
};

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_DEPLOYMENT_BINDING_H
