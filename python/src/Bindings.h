// SPDX-License-Identifier: MIT
// The classes of the module dezov, one binding function each.
#ifndef DEZOV20_PYTHON_BINDINGS_H
#define DEZOV20_PYTHON_BINDINGS_H

#include <pybind11/pybind11.h>

namespace dezov {
namespace python {

// dezov.IniFile and dezov.IniSection.
void BindIniFile(pybind11::module_& module);
// dezov.XmlFile, dezov.XmlSection and dezov.Record.
void BindXmlFile(pybind11::module_& module);
// dezov.Deployment.
void BindDeployment(pybind11::module_& module);
// dezov.DeploymentWatch and Deployment.watch (after BindDeployment).
void BindDeploymentWatch(pybind11::module_& module);

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_BINDINGS_H
